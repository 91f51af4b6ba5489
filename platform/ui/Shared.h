#pragma once
// Small helpers the window classes' sources share (not for the programs).

#include <algorithm>
#include <string>
#include <vector>

namespace ui::detail {

// Scales n by multiplier / divisor, rounding to the nearest integer (halves away from zero).
inline int MulDiv(int n, int multiplier, int divisor) {
  const long long product = static_cast<long long>(n) * multiplier;
  const long long half = divisor / 2;
  return static_cast<int>(product >= 0 ? (product + half) / divisor : (product - half) / divisor);
}

// The position of the first item with exactly this text, or -1.
inline int FindItem(const std::vector<std::string>& items, const std::string& text) {
  const auto it = std::find(items.begin(), items.end(), text);
  return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

// Sets a flag for as long as it lives, also when what runs meanwhile throws.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
};

}  // namespace ui::detail
