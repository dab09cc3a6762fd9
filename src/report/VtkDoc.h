#pragma once
// The joint report document: the report the main window shows, read whole
// from the file that g_strReportPath names into its fields, the sample arrays
// the plots draw and the notes that Append Notes extends. It only reads and
// holds: the view builds the report text and prepares the samples for the
// plots from it (PrepareReport).

#include "report/ReportFields.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <vector>

class QWidget;

class CVtkDoc {
public:
    // The samples the view draws; a file may hold more.
    static constexpr int kMaxSamples = 10000;
    // A pressure at or above this is not a reading and counts as 0.
    static constexpr int kNoReading = 4001;
    // Longest text a report field may hold, and longest sample header.
    static constexpr int kMaxTextChars = 300;
    static constexpr int kMaxHeaderChars = 99;
    // The longest notes Append Notes lets a report grow to.
    static constexpr int kMaxNotes = 200;

    CVtkDoc();
    // A document that reads reports apart from the one the main window
    // shows (a worker that indexes or prints many at once): it never
    // touches the process-wide report state, so several may run on
    // several threads. It is emptied with Unload, not FreeReport.
    struct Detached {};
    explicit CVtkDoc(Detached);
    void Unload() { Clear(); }

    // Called whenever the shown report changes, so that the views redraw.
    void SetUpdateViews(std::function<void()> update) { m_updateViews = std::move(update); }
    void UpdateAllViews();
    // The window the document's dialogs open over.
    void SetWindow(QWidget* window) { m_pWindow = window; }

    // A new, empty document: no report shown.
    bool OnNewDocument();
    // Opening by path (the command line, or the framework's file open): the
    // report becomes the one shown. Refuses, with a message, a file that
    // cannot be opened.
    bool OnOpenDocument(const QString& path);
    // Closing: no report shown.
    void OnCloseDocument();
    // The framework's Save As: a copy of the shown report under a new name.
    void OnFileSaveAs();

    // Menu commands: Open (a report picked in the file dialog) and Append
    // Notes; the latter is offered only while a report is shown.
    void OnFileOpen();
    void OnAppendNotes();
    static bool CanAppendNotes();

    // Reads the report g_strReportPath names. A report that cannot be read
    // leaves the document empty and the path cleared; false then.
    bool LoadReport();
    // The same from a file image already in memory; g_strReportPath is not
    // looked at. False, with the document empty, for an unreadable image.
    bool LoadReportImage(const QByteArray& image);
    // Frees the file image and the samples; clears the path when asked.
    void FreeReport(bool clearPath);

    // One field at the read position, which then moves past it. False when
    // the field does not lie whole within the image.
    bool ReadIntField(int& value);
    bool ReadTextField(QString& text);

    bool IsLoaded() const { return !m_image.isEmpty(); }
    const QByteArray& FileImage() const { return m_image; }
    // The report text, as the view built it; empty until then.
    const QStringList& ReportText() const { return m_strLines; }
    void SetReportText(QStringList lines) { m_strLines = std::move(lines); }
    const ReportValue& Field(ReportField f) const { return m_fields[f]; }
    qsizetype NotesPos() const { return m_nNotesPos; }
    qsizetype NotesEnd() const { return m_nNotesEnd; }
    const QString& NotesText() const { return m_strNotes; }
    void SetNotesText(const QString& notes) { m_strNotes = notes; }

    const QString& HeaderText() const { return m_strHeader; }
    int HeaderNumber() const { return m_nHeaderNumber; }
    int TimeSpan() const { return m_nTimeSpan; }
    // Samples the view uses (at most kMaxSamples), and samples in the file.
    int SampleCount() const { return m_nSamples; }
    qsizetype SamplesInFile() const { return m_sampleCopy.size() / 4; }
    const QByteArray& SampleCopy() const { return m_sampleCopy; }
    int TimeAt(int i) const { return m_t[i]; }
    // The pressure of sample i as every reader takes it (no reading is 0):
    // as recorded after a load, smoothed once the view has prepared it.
    int PressureAt(int i) const { return m_p[i] >= kNoReading ? 0 : m_p[i]; }
    void SetPressure(int i, int psi) { m_p[i] = psi; }

    const QString& PressUnit() const { return m_strPressUnit; }
    double PsiPerUnit() const { return m_dPsiPerUnit; }
    int DemoFlag() const { return m_nDemo; }
    const QString& PipeAreaText() const { return m_strPipeArea; }
    bool ForcesHeading() const { return m_bForces; }

    // Set by the sample preparation (PrepareReport) after a load.
    int m_nMaxPressure = 0;
    int m_nRunningMax = 0;
    int m_nFrontEndEnd = 0;
    int m_nHeaterRemovalEnd = 0;

    // Reads p[i] as the preparation does: no reading counts as 0, and the
    // running maximum rises with what is read.
    int ReadPressure(int i);

private:
    bool ReadHeader();
    void Clear();

    std::function<void()> m_updateViews;
    QWidget* m_pWindow = nullptr;

    QByteArray m_image;
    qsizetype m_nReadPos = 0;
    qsizetype m_nNotesPos = -1;
    qsizetype m_nNotesEnd = -1;
    QString m_strNotes;
    std::array<ReportValue, RF_COUNT> m_fields;
    QStringList m_strLines;

    QString m_strHeader;
    int m_nHeaderNumber = 0;
    int m_nTimeSpan = 0;
    QByteArray m_sampleCopy;
    int m_nSamples = 0;
    std::vector<int> m_t;
    std::vector<int> m_p; // one more than the samples, for the smoothing

    QString m_strPressUnit = QStringLiteral("psi");
    double m_dPsiPerUnit = 1.0;
    int m_nDemo = 0;
    QString m_strPipeArea;
    bool m_bForces = false;
};
