#include "editors/big5_codepage.h"

#include <windows.h>

#include <algorithm>

namespace {

constexpr UINT kBig5CodePage = 950;

std::wstring Wide(std::string_view text, UINT codePage, DWORD flags, bool& ok) {
  ok = true;
  if (text.empty())
    return {};
  const int length =
      MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) {
    ok = false;
    return {};
  }
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), wide.data(),
                      length);
  return wide;
}

std::string Narrow(const std::wstring& wide, UINT codePage, DWORD flags, BOOL* defaulted) {
  if (wide.empty())
    return {};
  const int length = WideCharToMultiByte(
      codePage, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, defaulted);
  if (length <= 0)
    return {};
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), text.data(),
                      length, nullptr, defaulted);
  return text;
}

bool Utf8ToBig5(std::string_view utf8, std::string& big5) {
  big5.clear();
  bool ok = false;
  const std::wstring wide = Wide(utf8, CP_UTF8, MB_ERR_INVALID_CHARS, ok);
  if (!ok)
    return false;
  // No best fit: a character without a code is refused, never replaced by a look-alike.
  BOOL defaulted = FALSE;
  big5 = Narrow(wide, kBig5CodePage, WC_NO_BEST_FIT_CHARS, &defaulted);
  return !defaulted && (wide.empty() || !big5.empty());
}

std::string Big5ToUtf8(std::string_view big5) {
  // A character at a time, so that a code that is no Big5 (or a lead byte without its trail)
  // becomes one U+FFFD, whatever the system would otherwise put in its place.
  std::wstring wide;
  for (std::size_t i = 0; i < big5.size();) {
    const auto lead = static_cast<unsigned char>(big5[i]);
    const std::size_t length = std::min<std::size_t>(
        lead >= 0x80 && IsDBCSLeadByteEx(kBig5CodePage, lead) ? 2 : 1, big5.size() - i);
    bool ok = false;
    const std::wstring character =
        Wide(big5.substr(i, length), kBig5CodePage, MB_ERR_INVALID_CHARS, ok);
    wide += ok && !(lead >= 0x80 && length == 1) ? character : std::wstring(1, L'\uFFFD');
    i += length;
  }
  return Narrow(wide, CP_UTF8, 0, nullptr);
}

} // namespace

const TTextCodec& CodePage950Codec() {
  static const TTextCodec codec{Utf8ToBig5, Big5ToUtf8};
  return codec;
}
