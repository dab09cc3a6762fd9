#pragma once
// Dialog templates and control ids of the report's windows.

constexpr int IDD_APPEND_NOTES = 174;
constexpr int IDD_SEARCH_RANGE = 175;

constexpr int IDC_NEW_NOTES = 1100;
constexpr int IDC_NOTES_LEFT = 1101;
constexpr int IDC_SEARCH_RANGE_LIST = 1103;
constexpr int IDC_EXISTING_NOTES = 1131;
