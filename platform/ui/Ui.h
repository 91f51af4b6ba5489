#pragma once
// The window classes as the programs use them: every family of them (platform/ui/Controls.h, ListView.h,
// Menus.h, Dialogs.h, Forms.h).

#include "platform/ui/Controls.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Forms.h"
#include "platform/ui/ListView.h"
#include "platform/ui/Menus.h"
