// Choosing a region on the frozen screen: the state of the selection, what the user's actions do to it,
// and the picture the overlay shows, drawn anew only where it changed.

#include "snapora/RegionSelector.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <set>

#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"

namespace {

using Pixel32 = TBitmap::Pixel32;

// The magnifier's square with its frame, the label's margins, and the gap between pointer and panel.
constexpr int kMagnifierSide = TRegionSelector::MagnifiedPixels * TRegionSelector::Zoom + 2;
constexpr int kLabelMargin = 4;
constexpr int kPanelGap = 16;
constexpr TColor kPanelFrame = RGB(64, 64, 64);
constexpr TColor kLabelBackground = RGB(32, 32, 32);
constexpr TColor kLabelText = clWhite;
// Minimised windows lie at -32000 (the system parks them there).
constexpr int kParked = -32000;
// A walk of the z-order ends after this many windows, should the system's list run in a circle.
constexpr std::size_t kMaxWindows = 100000;

os::ScreenRect Intersect(const os::ScreenRect& a, const os::ScreenRect& b) {
  os::ScreenRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                   std::min(a.bottom, b.bottom)};
  return r.Empty() ? os::ScreenRect{} : r;
}

os::ScreenRect Inflate(const os::ScreenRect& r, int by) {
  return {r.left - by, r.top - by, r.right + by, r.bottom + by};
}

os::ScreenRect Offset(const os::ScreenRect& r, int dx, int dy) {
  return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

bool Holds(const os::ScreenRect& r, int x, int y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

bool Within(const os::ScreenRect& inner, const os::ScreenRect& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

// Black on light pixels, white on dark ones: a line drawn so shows on any picture.
Pixel32 Contrasting(Pixel32 p) {
  const unsigned red = (p >> 16) & 0xFF, green = (p >> 8) & 0xFF, blue = p & 0xFF;
  return red * 299 + green * 587 + blue * 114 >= 128000 ? 0x000000u : 0xFFFFFFu;
}

// The parts (picture coordinates) whose look changes when the selection goes from one rectangle to the
// other: a pixel inside both stays undimmed, one outside both with their borders stays dimmed.
std::vector<os::ScreenRect> SelectionChanges(const std::optional<os::ScreenRect>& before,
                                             const std::optional<os::ScreenRect>& after) {
  if (before == after) return {};
  if (!before) return {Inflate(*after, 1)};
  if (!after) return {Inflate(*before, 1)};
  const os::ScreenRect a = Inflate(*before, 1), b = Inflate(*after, 1);
  const os::ScreenRect inner = Intersect(*before, *after);
  if (inner.Empty()) return {a, b};
  const os::ScreenRect all{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                           std::max(a.bottom, b.bottom)};
  // The bands of the rectangle around both that lie outside their common inside.
  return {{all.left, all.top, all.right, inner.top},
          {all.left, inner.bottom, all.right, all.bottom},
          {all.left, inner.top, inner.left, inner.bottom},
          {inner.right, inner.top, all.right, inner.bottom}};
}

}  // namespace

std::optional<os::ScreenRect> SelectRegion(ui::Application& app, const os::ScreenRect& area,
                                           const TBitmap& frozen, const std::optional<os::ScreenRect>& last,
                                           const std::vector<os::WindowHandle>& excluded) {
  if (area.Empty()) return std::nullopt;
  try {
    ui::ScreenOverlay overlay(app);
    TRegionSelector selector(overlay, area, frozen, last, excluded);
    return selector.Run();
  } catch (const std::exception& error) {
    // A picture of the area that does not fit into memory, a window system that fails: the user is told,
    // and nothing is taken.
    app.HandleException(error);
    return std::nullopt;
  }
}

TRegionSelector::TRegionSelector(ui::ScreenOverlay& overlay, const os::ScreenRect& area,
                                 const TBitmap& frozen, const std::optional<os::ScreenRect>& last,
                                 const std::vector<os::WindowHandle>& excluded)
    : overlay_(overlay), area_(area), frozen_(&frozen) {
  if (area_.Empty()) return;
  const int width = area_.Width(), height = area_.Height();
  if (frozen.Width() != width || frozen.Height() != height) {
    fitted_.SetFillColor(clBlack);
    fitted_.SetSize(width, height);
    const int common = std::min(width, frozen.Width());
    for (int y = 0; y < std::min(height, frozen.Height()); ++y)
      std::copy_n(frozen.ScanLine(y), common, fitted_.ScanLine(y));
    frozen_ = &fitted_;
  }

  // The windows a click can take, as they stood when the screen froze: read before the overlay shows,
  // which so is never among them.
  std::set<os::WindowHandle> seen;
  for (os::WindowHandle window = os::TopWindow(); window != 0 && seen.size() < kMaxWindows;
       window = os::NextWindow(window)) {
    if (!seen.insert(window).second) break;
    if (!os::WindowVisible(window) || std::find(excluded.begin(), excluded.end(), window) != excluded.end())
      continue;
    const std::optional<os::WindowPlacement> placement = os::GetPlacement(window);
    if (placement && placement->showCmd == os::show::ShowMinimized) continue;
    const std::optional<os::ScreenRect> frame = os::WindowFrameRect(window);
    if (!frame || frame->left <= kParked || frame->top <= kParked) continue;
    const os::ScreenRect shown = Intersect(*frame, area_);
    if (!shown.Empty()) windowFrames_.push_back(shown);
  }

  int textWidth = 0;
  try {
    text_ = std::make_unique<ui::TextRenderer>(ui::Font{.name = "MS Sans Serif", .size = 8},
                                               overlay_.App().ScreenPixelsPerInch());
    lineHeight_ = text_->LineHeight();
    // Wide enough for the widest values, so that the panel keeps its size while the pointer moves.
    for (const char* widest : {"-00000, -00000", "#DDDDDD", "00000 x 00000", "at -00000, -00000"})
      textWidth = std::max(textWidth, text_->Measure(widest).width);
  } catch (const std::exception&) {
    text_.reset();  // the label's text is left out; the magnifier still shows
  }
  panel_.SetSize(std::max(kMagnifierSide, textWidth + 2 * kLabelMargin),
                 kMagnifierSide + 4 * lineHeight_ + 2 * kLabelMargin);

  const os::ScreenRect picture{0, 0, width, height};
  if (last && !last->Empty() && Within(*last, area_)) selection_ = Offset(*last, -area_.left, -area_.top);
  const os::ScreenRect& around = selection_ ? *selection_ : picture;
  pointer_ = {around.left + (around.Width() - 1) / 2, around.top + (around.Height() - 1) / 2};
}

TRegionSelector::~TRegionSelector() {
  overlay_.OnMouseDown = overlay_.OnMouseMove = overlay_.OnMouseUp = nullptr;
  overlay_.OnKeyDown = nullptr;
}

std::optional<os::ScreenRect> TRegionSelector::Run() {
  if (area_.Empty()) return std::nullopt;
  // What the user does after the region was taken or the choice cancelled (a release still on its way)
  // changes nothing.
  overlay_.OnMouseDown = [this](int x, int y) {
    if (overlay_.Running()) MouseDown(x, y);
  };
  overlay_.OnMouseMove = [this](int x, int y) {
    if (overlay_.Running()) MouseMove(x, y);
  };
  overlay_.OnMouseUp = [this](int x, int y) {
    if (overlay_.Running()) MouseUp(x, y);
  };
  overlay_.OnKeyDown = [this](int key, bool shift) {
    if (overlay_.Running()) KeyPressed(key, shift);
  };
  TBitmap picture;
  picture.SetSizeForOverwrite(area_.Width(), area_.Height());
  panelRect_ = PanelPlace();
  DrawPanel();
  DrawPart(picture, {0, 0, area_.Width(), area_.Height()});
  result_.reset();
  overlay_.Run(area_, std::move(picture));
  return result_;
}

std::optional<os::ScreenRect> TRegionSelector::Selection() const {
  if (!selection_) return std::nullopt;
  return Offset(*selection_, area_.left, area_.top);
}

std::vector<std::string> TRegionSelector::LabelLines() const {
  char text[64];
  std::vector<std::string> lines;
  std::snprintf(text, sizeof text, "%d, %d", area_.left + pointer_.x, area_.top + pointer_.y);
  lines.emplace_back(text);
  const TColor color = frozen_->Pixel(pointer_.x, pointer_.y);
  std::snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(color), GetGValue(color), GetBValue(color));
  lines.emplace_back(text);
  if (selection_) {
    std::snprintf(text, sizeof text, "%d x %d", selection_->Width(), selection_->Height());
    lines.emplace_back(text);
    std::snprintf(text, sizeof text, "at %d, %d", area_.left + selection_->left, area_.top + selection_->top);
    lines.emplace_back(text);
  }
  return lines;
}

void TRegionSelector::MouseDown(int x, int y) {
  // A press begins a drag or a click; a corner fixed with Space is given up.
  const Point point = Clamped(x, y);
  press_ = point;
  dragging_ = false;
  corner_.reset();
  PointerTo(point);
}

void TRegionSelector::MouseMove(int x, int y) {
  NoteDrag(x, y);
  PointerTo(Clamped(x, y));
}

void TRegionSelector::NoteDrag(int x, int y) {
  // Measured where the mouse really is: a drag beyond the area's edge is a drag, though the pointer
  // stops at the edge.
  if (press_ && std::max(std::abs(x - press_->x), std::abs(y - press_->y)) > ClickTolerance) dragging_ = true;
}

void TRegionSelector::MouseUp(int x, int y) {
  if (!press_) return;  // the button went down before the overlay showed
  NoteDrag(x, y);
  PointerTo(Clamped(x, y));
  const bool dragged = dragging_;
  press_.reset();
  dragging_ = false;
  if (dragged && selection_)
    Take(*Selection());
  else
    TakeWindowUnderPointer();  // no window there: the overlay stays open
}

void TRegionSelector::KeyPressed(int key, bool shift) {
  const int step = shift ? 10 : 1;
  int dx = 0, dy = 0;
  switch (key) {
    case KeyLeft:
      dx = -step;
      break;
    case KeyRight:
      dx = step;
      break;
    case KeyUp:
      dy = -step;
      break;
    case KeyDown:
      dy = step;
      break;
    case KeySpace:
      corner_ = pointer_;
      press_.reset();
      dragging_ = false;
      PointerTo(pointer_);
      return;
    case ui::key::Return:
      if (selection_)
        Take(*Selection());
      else
        TakeWindowUnderPointer();
      return;
    case ui::key::Escape:
      result_.reset();
      overlay_.Close();
      return;
    default:
      return;
  }
  const Point point = Clamped(pointer_.x + dx, pointer_.y + dy);
  PointerTo(point);
  overlay_.MovePointer(point.x, point.y);
}

void TRegionSelector::PointerTo(Point point) {
  const std::optional<os::ScreenRect> selectionBefore = selection_;
  const Point pointerBefore = pointer_;
  const os::ScreenRect panelBefore = panelRect_;
  pointer_ = point;
  // The selection spans from the pressed or fixed corner to the pointer, both pixels included.
  const auto span = [&](Point from) {
    selection_ = os::ScreenRect{std::min(from.x, point.x), std::min(from.y, point.y),
                                std::max(from.x, point.x) + 1, std::max(from.y, point.y) + 1};
  };
  if (press_) {
    if (std::max(std::abs(point.x - press_->x), std::abs(point.y - press_->y)) > ClickTolerance)
      dragging_ = true;
    if (dragging_) span(*press_);
  } else if (corner_) {
    span(*corner_);
  }
  if (selection_ == selectionBefore && pointer_ == pointerBefore) return;
  panelRect_ = PanelPlace();
  DrawPanel();
  Refresh(selectionBefore, pointerBefore, panelBefore);
}

void TRegionSelector::Refresh(const std::optional<os::ScreenRect>& selectionBefore, Point pointerBefore,
                              const os::ScreenRect& panelBefore) {
  const int width = area_.Width(), height = area_.Height();
  std::vector<os::ScreenRect> parts = SelectionChanges(selectionBefore, selection_);
  if (pointerBefore != pointer_) {
    // The cross-hair's lines where they were and where they are now.
    for (const Point p : {pointerBefore, pointer_}) {
      parts.push_back({0, p.y, width, p.y + 1});
      parts.push_back({p.x, 0, p.x + 1, height});
    }
  }
  parts.push_back(panelBefore);
  parts.push_back(panelRect_);

  const os::ScreenRect picture{0, 0, width, height};
  for (os::ScreenRect& part : parts) part = Intersect(part, picture);
  std::vector<os::ScreenRect> drawn;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (parts[i].Empty()) continue;
    // A part inside another is drawn with it (the first of equal parts stands for them).
    bool inside = false;
    for (std::size_t j = 0; j < parts.size() && !inside; ++j)
      inside = j != i && Within(parts[i], parts[j]) && (parts[i] != parts[j] || j < i);
    if (!inside) drawn.push_back(parts[i]);
  }
  for (const os::ScreenRect& part : drawn) {
    DrawPart(overlay_.Picture(), part);
    overlay_.Invalidate(part);
  }
}

void TRegionSelector::Take(const os::ScreenRect& region) {
  result_ = region;
  overlay_.Close();
}

bool TRegionSelector::TakeWindowUnderPointer() {
  const int x = area_.left + pointer_.x, y = area_.top + pointer_.y;
  for (const os::ScreenRect& frame : windowFrames_)
    if (Holds(frame, x, y)) {
      Take(frame);
      return true;
    }
  return false;
}

TRegionSelector::Point TRegionSelector::Clamped(int x, int y) const {
  return {std::clamp(x, 0, area_.Width() - 1), std::clamp(y, 0, area_.Height() - 1)};
}

os::ScreenRect TRegionSelector::PanelPlace() const {
  // Below and right of the pointer; to the other side where the area's edge comes first, and inside the
  // area as far as it is large enough.
  const auto place = [](int pointer, int size, int room) {
    int at = pointer + 1 + kPanelGap;
    if (at + size > room) at = pointer - kPanelGap - size;
    return std::max(0, std::min(at, room - size));
  };
  const int width = panel_.Width(), height = panel_.Height();
  const int left = place(pointer_.x, width, area_.Width()), top = place(pointer_.y, height, area_.Height());
  return {left, top, left + width, top + height};
}

void TRegionSelector::DrawPanel() {
  panel_.FillRect(0, 0, kMagnifierSide, kMagnifierSide, kPanelFrame);
  panel_.FillRect(kMagnifierSide, 0, panel_.Width() - kMagnifierSide, kMagnifierSide, kLabelBackground);
  // The pixels around the pointer, each enlarged; outside the area black.
  const int half = MagnifiedPixels / 2;
  for (int j = 0; j < MagnifiedPixels; ++j)
    for (int i = 0; i < MagnifiedPixels; ++i) {
      const int x = pointer_.x - half + i, y = pointer_.y - half + j;
      const bool inside = x >= 0 && y >= 0 && x < area_.Width() && y < area_.Height();
      panel_.FillRect(1 + i * Zoom, 1 + j * Zoom, Zoom, Zoom, inside ? frozen_->Pixel(x, y) : clBlack);
    }
  // The pointer's pixel outlined just outside its enlarged square, so that the square shows whole.
  const int outline = 1 + half * Zoom - 1, side = Zoom + 2;
  const Pixel32 contrast = Contrasting(TBitmap::ToPixel32(frozen_->Pixel(pointer_.x, pointer_.y)));
  const TColor color = TBitmap::FromPixel32(contrast);
  panel_.FillRect(outline, outline, side, 1, color);
  panel_.FillRect(outline, outline + side - 1, side, 1, color);
  panel_.FillRect(outline, outline, 1, side, color);
  panel_.FillRect(outline + side - 1, outline, 1, side, color);

  panel_.FillRect(0, kMagnifierSide, panel_.Width(), panel_.Height() - kMagnifierSide, kLabelBackground);
  if (!text_) return;
  int y = kMagnifierSide + kLabelMargin;
  for (const std::string& line : LabelLines()) {
    text_->DrawOpaque(panel_, kLabelMargin, y, line, kLabelText, kLabelBackground);
    y += lineHeight_;
  }
}

void TRegionSelector::DrawPart(TBitmap& target, const os::ScreenRect& part) const {
  const os::ScreenRect selection = selection_.value_or(os::ScreenRect{});
  // The frozen pixels, halved towards black outside the selection.
  for (int y = part.top; y < part.bottom; ++y) {
    const Pixel32* source = frozen_->ScanLine(y);
    Pixel32* row = target.ScanLine(y);
    const bool selectedRow = y >= selection.top && y < selection.bottom;
    for (int x = part.left; x < part.right; ++x) {
      const bool selected = selectedRow && x >= selection.left && x < selection.right;
      row[x] = selected ? source[x] & 0xFFFFFFu : (source[x] >> 1) & 0x7F7F7Fu;
    }
  }
  // The selection's border just outside it, dashed black and white so that it shows on any picture.
  if (selection_) {
    const os::ScreenRect ring = Intersect(Inflate(selection, 1), part);
    for (int y = ring.top; y < ring.bottom; ++y) {
      Pixel32* row = target.ScanLine(y);
      for (int x = ring.left; x < ring.right; ++x)
        if (!Holds(selection, x, y)) row[x] = (x + y) / 4 % 2 ? 0xFFFFFFu : 0x000000u;
    }
  }
  // The cross-hair through the pointer, which leaves the pixel under the pointer as it is.
  if (pointer_.y >= part.top && pointer_.y < part.bottom) {
    Pixel32* row = target.ScanLine(pointer_.y);
    for (int x = part.left; x < part.right; ++x)
      if (x != pointer_.x) row[x] = Contrasting(row[x]);
  }
  if (pointer_.x >= part.left && pointer_.x < part.right)
    for (int y = part.top; y < part.bottom; ++y)
      if (y != pointer_.y) {
        Pixel32& pixel = target.ScanLine(y)[pointer_.x];
        pixel = Contrasting(pixel);
      }
  // The magnifier with its label on top.
  const os::ScreenRect panel = Intersect(panelRect_, part);
  for (int y = panel.top; y < panel.bottom; ++y)
    std::copy(panel_.ScanLine(y - panelRect_.top) + (panel.left - panelRect_.left),
              panel_.ScanLine(y - panelRect_.top) + (panel.right - panelRect_.left),
              target.ScanLine(y) + panel.left);
}
