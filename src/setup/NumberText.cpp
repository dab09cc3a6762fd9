#include "setup/NumberText.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <string>

namespace {
bool IsBlank(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Position after leading blanks and a sign; *negative tells the sign.
qsizetype SkipBlanksAndSign(const QString& text, bool* negative) {
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text[i].unicode()))
        ++i;
    *negative = i < text.size() && text[i] == u'-';
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        ++i;
    return i;
}
} // namespace

double TextToDouble(const QString& text) {
    bool negative = false;
    qsizetype i = SkipBlanksAndSign(text, &negative);
    const qsizetype n = text.size();

    // Collect the longest prefix that forms a number, in ASCII for from_chars.
    std::string digits;
    int mantissaDigits = 0;
    int magnitude = 0; // decimal position of the first significant digit
    bool seenSignificant = false;
    bool seenPoint = false;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'.' && !seenPoint) {
            seenPoint = true;
        } else if (IsDigit(c)) {
            ++mantissaDigits;
            if (c != u'0')
                seenSignificant = true;
            if (!seenPoint && seenSignificant)
                ++magnitude;
            else if (seenPoint && !seenSignificant)
                --magnitude;
        } else {
            break;
        }
        digits += static_cast<char>(c);
    }
    if (mantissaDigits == 0)
        return 0.0;
    if (!seenSignificant)
        return negative ? -0.0 : 0.0;

    // The exponent counts only when at least one digit follows its sign.
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        bool negativeExponent = false;
        if (j < n && (text[j] == u'-' || text[j] == u'+'))
            negativeExponent = text[j++] == u'-';
        if (j < n && IsDigit(text[j].unicode())) {
            long exponent = 0;
            std::string exponentText;
            for (; j < n && IsDigit(text[j].unicode()); ++j) {
                exponent = std::min(exponent * 10 + (text[j].unicode() - u'0'), 100000L);
                exponentText += static_cast<char>(text[j].unicode());
            }
            digits += negativeExponent ? "e-" : "e";
            digits += exponentText;
            magnitude += static_cast<int>(negativeExponent ? -exponent : exponent);
        }
    }

    double value = 0.0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (result.ec == std::errc::result_out_of_range)
        value = magnitude > 0 ? HUGE_VAL : 0.0;
    return negative ? -value : value;
}

int TextToLong(const QString& text) {
    bool negative = false;
    qsizetype i = SkipBlanksAndSign(text, &negative);
    long long value = 0;
    for (; i < text.size() && IsDigit(text[i].unicode()); ++i)
        value =
            std::min(value * 10 + (text[i].unicode() - u'0'), static_cast<long long>(INT_MAX) + 1);
    if (negative)
        return static_cast<int>(std::max(-value, static_cast<long long>(INT_MIN)));
    return static_cast<int>(std::min(value, static_cast<long long>(INT_MAX)));
}
