#pragma once
// The pane beside the library's table: the selected joint at a glance. What
// the index knows shows at once (the joint, its verdict, where its copies
// lie and their state); the report text, its three plots and the check's
// criteria follow when a worker has read them (JointDetails.h). The pane
// is a column of sections by key, so that more (a review history) can be
// put among them. It touches no file.

#include "library/JointDetails.h"

#include <QScrollArea>
#include <QString>
#include <vector>

class QLabel;
class QVBoxLayout;
class CPlotPicture;

class CJointDetailsPane : public QScrollArea {
public:
    explicit CJointDetailsPane(QWidget* parent = nullptr);

    // A section of text, made before the one with key `before` (at the end
    // when empty or unknown); its body, for its owner to fill.
    QLabel* AddSection(const QString& key, const QString& title, const QString& before = {});
    // The section's body widget and title, or null.
    QWidget* Section(const QString& key) const;
    // The section's text as a person reads it (tests, copying).
    QString SectionText(const QString& key) const;

    // Nothing or several selected.
    void ShowNothing(int selected);
    // The joint as the index has it; the rest says it is being read.
    void ShowRow(const JointRow& row);
    // What a worker read of the joint shown (ignored for another joint).
    void ShowDetails(const JointDetails& details);
    qint64 JointId() const { return m_nJoint; }
    // Whether the report text, plots and check are shown for the joint.
    bool DetailsShown() const { return m_bDetails; }

private:
    struct SectionInfo {
        QString key;
        QWidget* frame = nullptr;
        QLabel* title = nullptr;
        QWidget* body = nullptr;
    };
    QWidget* AddSectionWidget(const QString& key, const QString& title, QWidget* body,
                              const QString& before);
    QLabel* TextBody(const QString& key) const;
    void SetSectionsVisible(bool visible);
    void SetSectionVisible(const QString& key, bool visible);

    QVBoxLayout* m_pColumn = nullptr;
    QLabel* m_pEmpty = nullptr;
    std::vector<SectionInfo> m_sections;
    CPlotPicture* m_plots[3] = {};
    qint64 m_nJoint = 0;
    bool m_bDetails = false;
};
