#pragma once
// What the wizard's pages have in common: where they sit on the 240-pixel
// screen, their list boxes, and the pipe material list that the Pipe and
// Fitting pages share.

#include <QString>
#include <QStringList>

class CDialog;

// Pages are 156 dialog units (234 pixels) wide, centred on the screen.
constexpr int kPageX = 2;
constexpr int kPageWidth = 156;
// The Pipe page sits just below the Log/Status window's title (27 pixels); the
// closing pages leave its temperature and pressure frames in view (112 pixels).
constexpr int kPipePageY = 17;
constexpr int kClosingPageY = 69;

// A control and the "Log Data" value it shows.
struct PageField {
    int id;
    const QString& name;
};

// Replaces the entries of a list.
void FillList(CDialog& page, int id, const QStringList& items);

// The chosen entry of a list, or `stored` when nothing is chosen (a stored
// index out of the list's range selects nothing): a page never turns a value
// it could not show into another one.
int SelectionOr(const CDialog& page, int id, int stored);

// Stores an edit's text through TrimOrDash.
void StoreTrimmed(const CDialog& page, int id, const QString& name);

// The pipe material list and its "Unlisted" text edit.
void LoadMaterial(CDialog& page);
void OnMaterialChanged(CDialog& page);
void StoreMaterial(const CDialog& page);
