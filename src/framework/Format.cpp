#include "framework/Format.h"

#include <charconv>
#include <cmath>
#include <vector>

long long FormatArg::ToInteger() const {
    if (const long long* v = std::get_if<long long>(&m_value))
        return *v;
    if (const double* d = std::get_if<double>(&m_value))
        return std::isfinite(*d) ? static_cast<long long>(*d) : 0;
    return 0;
}

double FormatArg::ToDouble() const {
    if (const double* d = std::get_if<double>(&m_value))
        return *d;
    if (const long long* v = std::get_if<long long>(&m_value))
        return static_cast<double>(*v);
    return 0.0;
}

QString FormatArg::ToText() const {
    if (const QString* s = std::get_if<QString>(&m_value))
        return *s;
    if (const long long* v = std::get_if<long long>(&m_value))
        return QString::number(*v);
    return QString();
}

namespace {
struct Conversion {
    bool left = false, plus = false, space = false, zero = false, alt = false;
    int width = 0;
    int precision = -1;
    QChar conversion;
};

QString Digits(double value, const Conversion& conv) {
    const QChar c = conv.conversion;
    const bool upper = c.isUpper();
    if (!std::isfinite(value)) {
        QString s = std::isnan(value) ? QStringLiteral("nan") : QStringLiteral("inf");
        return upper ? s.toUpper() : s;
    }
    const int precision = conv.precision < 0 ? 6 : conv.precision;
    std::chars_format form = std::chars_format::fixed;
    int digits = precision;
    if (c == u'e' || c == u'E') {
        form = std::chars_format::scientific;
    } else if (c == u'g' || c == u'G') {
        form = std::chars_format::general;
        digits = precision == 0 ? 1 : precision;
    }
    // Large enough for any fixed double with a sane precision.
    std::vector<char> buf(400 + static_cast<size_t>(std::min(precision, 400)));
    const auto result = std::to_chars(buf.data(), buf.data() + buf.size(), std::fabs(value), form,
                                      std::min(digits, 400));
    QString s = QString::fromLatin1(buf.data(), static_cast<qsizetype>(result.ptr - buf.data()));
    if (conv.alt && precision == 0 && form == std::chars_format::fixed)
        s += QLatin1Char('.');
    return upper ? s.toUpper() : s;
}

QString Pad(QString sign, QString body, const Conversion& conv, bool numeric) {
    const qsizetype length = sign.size() + body.size();
    if (length >= conv.width)
        return sign + body;
    const QString fill(conv.width - length, QLatin1Char(' '));
    if (conv.left)
        return sign + body + fill;
    if (conv.zero && numeric)
        return sign + QString(conv.width - length, QLatin1Char('0')) + body;
    return fill + sign + body;
}

QString Convert(const Conversion& conv, const FormatArg& arg) {
    const char16_t c = conv.conversion.unicode();
    switch (c) {
    case u'd':
    case u'i': {
        const long long v = arg.ToInteger();
        QString body = QString::number(v < 0 ? -static_cast<unsigned long long>(v)
                                             : static_cast<unsigned long long>(v));
        if (conv.precision >= 0 && body.size() < conv.precision)
            body = QString(conv.precision - body.size(), QLatin1Char('0')) + body;
        const QString sign = v < 0        ? QStringLiteral("-")
                             : conv.plus  ? QStringLiteral("+")
                             : conv.space ? QStringLiteral(" ")
                                          : QString();
        return Pad(sign, body, conv, conv.precision < 0);
    }
    case u'u':
    case u'x':
    case u'X':
    case u'o': {
        const auto v = static_cast<unsigned int>(arg.ToInteger());
        const int base = c == u'u' ? 10 : c == u'o' ? 8 : 16;
        QString body = QString::number(v, base);
        if (c == u'X')
            body = body.toUpper();
        if (conv.precision >= 0 && body.size() < conv.precision)
            body = QString(conv.precision - body.size(), QLatin1Char('0')) + body;
        return Pad(QString(), body, conv, conv.precision < 0);
    }
    case u'c': {
        const long long v = arg.ToInteger();
        const QString text = arg.ToText();
        return Pad(QString(),
                   text.isEmpty() || v != 0 ? QString(QChar(static_cast<char16_t>(v)))
                                            : text.left(1),
                   conv, false);
    }
    case u's':
    case u'S': {
        QString text = arg.ToText();
        if (conv.precision >= 0)
            text.truncate(conv.precision);
        return Pad(QString(), text, conv, false);
    }
    default: {
        const double v = arg.ToDouble();
        const QString sign = std::signbit(v) && !std::isnan(v) ? QStringLiteral("-")
                             : conv.plus                       ? QStringLiteral("+")
                             : conv.space                      ? QStringLiteral(" ")
                                                               : QString();
        return Pad(sign, Digits(v, conv), conv, std::isfinite(v));
    }
    }
}
} // namespace

QString Format(const QString& format, std::initializer_list<FormatArg> args) {
    QString out;
    out.reserve(format.size() + 16);
    const FormatArg* next = args.begin();
    const FormatArg empty(QString{});
    const qsizetype n = format.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar ch = format[i];
        if (ch != u'%' || i + 1 >= n) {
            out += ch;
            continue;
        }
        qsizetype j = i + 1;
        if (format[j] == u'%') {
            out += QLatin1Char('%');
            i = j;
            continue;
        }
        Conversion conv;
        for (; j < n; ++j) {
            const QChar f = format[j];
            if (f == u'-')
                conv.left = true;
            else if (f == u'+')
                conv.plus = true;
            else if (f == u' ')
                conv.space = true;
            else if (f == u'0')
                conv.zero = true;
            else if (f == u'#')
                conv.alt = true;
            else
                break;
        }
        while (j < n && format[j].isDigit() && conv.width < 10000)
            conv.width = conv.width * 10 + format[j++].digitValue();
        if (j < n && format[j] == u'.') {
            ++j;
            conv.precision = 0;
            while (j < n && format[j].isDigit() && conv.precision < 10000)
                conv.precision = conv.precision * 10 + format[j++].digitValue();
        }
        while (j < n && (format[j] == u'h' || format[j] == u'l' || format[j] == u'L'))
            ++j;
        if (j >= n || QStringLiteral("diuxXocsSfFeEgG").indexOf(format[j]) < 0) {
            // Not a conversion: keep the text as it stands.
            out += format.mid(i, j - i);
            i = j - 1;
            continue;
        }
        conv.conversion = format[j];
        const FormatArg& arg = next != args.end() ? *next++ : empty;
        out += Convert(conv, arg);
        i = j;
    }
    return out;
}

QString FormatDouble(const char* format, double value) {
    return Format(QString::fromLatin1(format), {value});
}
