#pragma once
// printf-style formatting of the program's texts, as the handheld's wide
// printf does it, but independent of the machine's locale: a decimal point is
// always a point, and "%.1f" rounds exactly as C's printf does.
//
// Supported: flags "-+ 0#", a width, a precision, the length modifiers h, l,
// ll, L (ignored), and the conversions d i u x X o c s S f F e E g G %.

#include <QString>
#include <initializer_list>
#include <variant>

class FormatArg {
public:
    FormatArg(int value) : m_value(static_cast<long long>(value)) {}
    FormatArg(unsigned value) : m_value(static_cast<long long>(value)) {}
    FormatArg(long value) : m_value(static_cast<long long>(value)) {}
    FormatArg(long long value) : m_value(value) {}
    FormatArg(double value) : m_value(value) {}
    FormatArg(const QString& value) : m_value(value) {}
    FormatArg(const char* value) : m_value(QString::fromUtf8(value)) {}
    FormatArg(QChar value) : m_value(QString(value)) {}

    long long ToInteger() const;
    double ToDouble() const;
    QString ToText() const;

private:
    std::variant<long long, double, QString> m_value;
};

QString Format(const QString& format, std::initializer_list<FormatArg> args);

// One double in one printf conversion, for example FormatDouble("%.1f", 13.05).
QString FormatDouble(const char* format, double value);
