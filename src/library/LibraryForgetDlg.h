#pragma once
// "Forget missing": the files missing for more than a number of days, shown
// before anything is removed; OK removes them from the library (never the
// reports themselves, never a review). Reads the list through a function
// the window gives; touches no file.

#include "framework/SetupPageDlg.h"
#include "library/LibraryStore.h"

#include <functional>
#include <vector>

class CLibraryForgetDlg : public CSetupPageDlg {
public:
    static constexpr int kDefaultDays = 30;

    explicit CLibraryForgetDlg(QWidget* parent);
    static const DlgTemplate& Template402();

    bool OnInitDialog() override;
    void OnEditChange(int id) override;
    void OnOK() override;

    // The missing files older than an age (ms).
    std::function<std::vector<ForgetItem>(qint64 ageMs)> m_missing;

    // Set by OK: the age and the files shown.
    qint64 m_ageMs = 0;
    std::vector<qint64> m_fileIds;

private:
    void Fill();
    std::vector<ForgetItem> m_items;
};
