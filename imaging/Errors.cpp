#include "imaging/Errors.h"

EFCreateError::EFCreateError(const std::string& fileName)
    : EImageError("Datei " + fileName + " kann nicht erstellt werden") {}

EWriteError::EWriteError() : EImageError("Stream-Write-Fehler") {}

EJPEGError::EJPEGError(int messageCode)
    : EImageError("JPEG-Fehler #" + std::to_string(messageCode)), messageCode_(messageCode) {}
