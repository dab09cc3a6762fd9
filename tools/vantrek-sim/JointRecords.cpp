#include "JointRecords.h"

#include <cstdio>

namespace {
constexpr bool I = false;
constexpr bool T = true;

bool ReadWord(std::string_view digits, size_t& pos, unsigned& value) {
    if (pos + 4 > digits.size())
        return false;
    value = 0;
    for (size_t i = pos; i < pos + 4; ++i) {
        const char c = digits[i];
        unsigned digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
        value = value * 16 + digit;
    }
    pos += 4;
    return true;
}

void AppendWord(std::string& out, unsigned value) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04x", value & 0xFFFF);
    out += digits;
}
} // namespace

const std::vector<bool>& RecordLayout(int record) {
    static const std::vector<bool> kJointInfo = {
        I, I, I, I, I, I, // date and time
        T, I, T, T, I,    // machine ID, model index and text, piston area and unit
        T, T, I,          // employee, job, joint number
        I, T, T, I, T, I, // pipe material, size and unit, wall and unit
        T, T, T, T, I,    // four pressures, pressure unit
        T, T, T, T, T,    // drag, recommended bead, soak, fuse, cool
        I, T, T};         // temperature unit, external and Vantrek probe
    static const std::vector<bool> kNotes = {I, T, I, T};
    static const std::vector<bool> kReserve = {I, T, T};
    static const std::vector<bool> kNone;
    switch (record) {
    case 2:
        return kJointInfo;
    case 3:
        return kNotes;
    case 4:
        return kReserve;
    default:
        return kNone;
    }
}

std::string ParseRecord(int record, std::string_view digits, JointRecord& fields) {
    const std::vector<bool>& layout = RecordLayout(record);
    fields.clear();
    size_t pos = 0;
    for (size_t f = 0; f < layout.size(); ++f) {
        RecordField field;
        field.isText = layout[f];
        const std::string where = "field " + std::to_string(f + 1);
        if (!ReadWord(digits, pos, field.value))
            return where + ": no four hexadecimal digits";
        if (field.isText) {
            // Each character: its low byte's two digits, then its high byte's.
            for (unsigned c = 0; c < field.value; ++c) {
                unsigned swapped = 0;
                if (!ReadWord(digits, pos, swapped))
                    return where + ": text shorter than its count";
                field.text.push_back(static_cast<std::uint16_t>((swapped >> 8) | (swapped << 8)));
            }
        }
        fields.push_back(std::move(field));
    }
    if (pos != digits.size())
        return std::to_string(digits.size() - pos) + " digits after the last field";
    return std::string();
}

std::string EncodeRecord(const JointRecord& fields) {
    std::string out;
    for (const RecordField& field : fields) {
        if (!field.isText) {
            AppendWord(out, field.value);
            continue;
        }
        AppendWord(out, static_cast<unsigned>(field.text.size()));
        for (const std::uint16_t unit : field.text)
            AppendWord(out, static_cast<unsigned>(((unit & 0xFF) << 8) | (unit >> 8)));
        if (field.text.empty())
            AppendWord(out, 0); // the Vantrek pads an empty text with a zero word
    }
    return out;
}
