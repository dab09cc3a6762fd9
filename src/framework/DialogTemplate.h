#pragma once
// Dialog templates as data: every window of the program is described by one
// of these next to its class, the way the handheld's resource file describes
// it. Positions and sizes are in dialog units; CDialog turns them into pixels.

#include <vector>

enum class Ctl {
    Static,    // text label
    Edit,      // one-line edit, or several lines with Style::Multiline
    Button,    // push button
    DefButton, // default push button
    CheckBox,  // automatic check box
    Radio,     // automatic radio button; Style::Group starts a new group
    Group,     // titled frame
    ComboList, // drop-down list
    ComboEdit, // drop-down combo with an edit
    ListBox,   // list
    Icon,      // icon resource, number in the text ("#128")
    Bitmap,    // bitmap resource, number in the text ("#142")
};

namespace Style {
constexpr unsigned Group = 0x1;         // first control of a radio group
constexpr unsigned Number = 0x2;        // edit takes digits only
constexpr unsigned ReadOnly = 0x4;      // edit cannot be changed
constexpr unsigned Multiline = 0x8;     // edit of several lines
constexpr unsigned Notify = 0x10;       // static reports taps
constexpr unsigned Center = 0x20;       // centred text
constexpr unsigned Right = 0x40;        // right-aligned text
constexpr unsigned Hidden = 0x80;       // not visible at first
constexpr unsigned Disabled = 0x100;    // disabled at first
constexpr unsigned Password = 0x200;    // edit shows no characters
constexpr unsigned VScroll = 0x400;     // vertical scroll bar
constexpr unsigned Border = 0x800;      // thin frame
constexpr unsigned NoWrap = 0x1000;     // static keeps one line
constexpr unsigned Sort = 0x2000;       // list sorted
constexpr unsigned WantReturn = 0x4000; // multi-line edit takes Enter
} // namespace Style

// One control. An id of -1 is a static nobody talks to.
struct CtlTemplate {
    int id;
    Ctl kind;
    const char* text; // UTF-8
    int x, y, cx, cy;
    unsigned style = 0;
    const char* items = nullptr; // initial list entries, separated by '\n'
    int limit = 0;               // longest input of an edit, 0 for none
};

struct DlgTemplate {
    int id;
    const char* title; // UTF-8
    int x, y, cx, cy;
    std::vector<CtlTemplate> controls;
    const char* font = "Tahoma";
    int pointSize = 8;
};

constexpr int IDC_STATIC = -1;
