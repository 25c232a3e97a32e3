// SPDX-License-Identifier: Apache-2.0
// The code page on Linux: the character set of the environment's locale,
// converted through iconv. The bare C/POSIX locale (ASCII) counts as UTF-8.
#include "platform/text/code_page.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <memory>
#include <stdexcept>

namespace {

// Looked up at every conversion of non-ASCII text, so that it follows the
// environment as the regional settings do.
std::string EnvironmentCodeset()
{
    locale_t locale = newlocale(LC_CTYPE_MASK, "", nullptr);
    if (locale == nullptr)
        return "UTF-8";  // a locale the system lacks runs as the C locale
    std::string codeset = nl_langinfo_l(CODESET, locale);
    freelocale(locale);
    if (codeset.empty() || codeset == "ANSI_X3.4-1968" || codeset == "ASCII" || codeset == "US-ASCII")
        return "UTF-8";
    return codeset;
}


bool IsUtf8(const std::string &codeset)
{
    return codeset == "UTF-8" || codeset == "utf8" || codeset == "UTF8";
}

bool IsAscii(std::string_view bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// The length of the UTF-8 sequence at the start of text, or 0 when it is not a
// well-formed one.
std::size_t Utf8SequenceLength(std::string_view text)
{
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    char32_t minimum = 0;
    char32_t code = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800, code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

// Well-formed UTF-8 stays; every byte that is not part of a well-formed
// sequence becomes the replacement.
std::string RepairUtf8(std::string_view text, std::string_view replacement)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = Utf8SequenceLength(text);
        if (length == 0) {
            out += replacement;
            text.remove_prefix(1);
        } else {
            out.append(text.substr(0, length));
            text.remove_prefix(length);
        }
    }
    return out;
}

// A conversion descriptor; each thread keeps one per direction, opened on first
// use and again when the environment names another character set.
class TConverter {
public:
    TConverter(const std::string &to, const std::string &from)
        : FHandle(iconv_open(to.c_str(), from.c_str())), FPair(from + ">" + to)
    {
        if (FHandle == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error("no conversion from " + from + " to " + to);
    }
    ~TConverter() { iconv_close(FHandle); }
    // The pair of character sets it converts between.
    const std::string &Pair() const { return FPair; }
    TConverter(const TConverter &) = delete;
    TConverter &operator=(const TConverter &) = delete;

    // Converts text; at a sequence the conversion cannot take (a byte that does
    // not decode, or a character the target lacks) skipLength(rest) tells how
    // many bytes to skip, and the substitute is written in their place.
    template <typename SkipLength>
    std::string Convert(std::string_view text, std::string_view substitute, SkipLength skipLength)
    {
        iconv(FHandle, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        std::string out;
        char buffer[256];
        char *in = const_cast<char *>(text.data());
        std::size_t inLeft = text.size();
        while (true) {
            char *outPointer = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t result = inLeft == 0
                                           ? iconv(FHandle, nullptr, nullptr, &outPointer, &outLeft)
                                           : iconv(FHandle, &in, &inLeft, &outPointer, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPointer - buffer));
            if (result != static_cast<std::size_t>(-1)) {
                if (inLeft == 0)
                    break;
                continue;
            }
            if (errno == E2BIG)
                continue;
            // EILSEQ, or EINVAL for a sequence cut off at the end.
            const std::size_t skip = std::min(inLeft, std::max<std::size_t>(1, skipLength(std::string_view(in, inLeft))));
            out += substitute;
            in += skip;
            inLeft -= skip;
        }
        return out;
    }

private:
    iconv_t FHandle;
    std::string FPair;
};

// The thread's converter between the two character sets, reopened when they change.
TConverter &ThreadConverter(std::unique_ptr<TConverter> &slot, const std::string &to, const std::string &from)
{
    if (!slot || slot->Pair() != from + ">" + to)
        slot = std::make_unique<TConverter>(to, from);
    return *slot;
}

enum class TDirection { ToUtf8, FromUtf8 };

// Text between the environment's character set and UTF-8. Every locale
// character set keeps ASCII as it is, and a UTF-8 one needs only its malformed
// bytes replaced; anything else goes through the thread's converter.
std::string Recode(std::string_view text, TDirection direction, std::string_view substitute,
                   std::size_t (*skipLength)(std::string_view))
{
    if (IsAscii(text))
        return std::string(text);
    const std::string codeset = EnvironmentCodeset();
    if (IsUtf8(codeset))
        return RepairUtf8(text, substitute);
    thread_local std::unique_ptr<TConverter> toUtf8;
    thread_local std::unique_ptr<TConverter> fromUtf8;
    TConverter &converter = direction == TDirection::ToUtf8 ? ThreadConverter(toUtf8, "UTF-8", codeset)
                                                            : ThreadConverter(fromUtf8, codeset, "UTF-8");
    return converter.Convert(text, substitute, skipLength);
}

} // namespace

std::string AnsiToUtf8(std::string_view bytes)
{
    // Each byte that does not decode becomes U+FFFD.
    return Recode(bytes, TDirection::ToUtf8, "\xEF\xBF\xBD", [](std::string_view) { return std::size_t{1}; });
}

std::string Utf8ToAnsi(std::string_view text)
{
    // A character the code page lacks is skipped whole; a malformed byte alone.
    return Recode(text, TDirection::FromUtf8, "?", Utf8SequenceLength);
}

std::string AnsiCodePageName()
{
    return EnvironmentCodeset();
}
