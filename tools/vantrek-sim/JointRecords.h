#pragma once
// The three joint records the handheld uploads before a joint ("Wp02:" joint
// information, "Wp03:" notes, "Wp04:" reserve data). The Vantrek keeps their
// fields and returns them with the report; it knows each record's layout of
// integer and text fields.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct RecordField {
    bool isText = false;
    unsigned value = 0;              // an integer field
    std::vector<std::uint16_t> text; // a text field: UTF-16 code units
};

using JointRecord = std::vector<RecordField>;

// Record 2, 3 or 4: the kinds of its fields in order, true for a text.
const std::vector<bool>& RecordLayout(int record);

// Parses the hexadecimal digits between the prefix and "eom". Returns an
// empty text on success, else what is wrong.
std::string ParseRecord(int record, std::string_view digits, JointRecord& fields);

// The fields as the Vantrek returns them: each as it came, except that an
// empty text is followed by one zero word.
std::string EncodeRecord(const JointRecord& fields);
