#pragma once
// CPageContainer: a scrolling child window hosting one page, a child dialog
// larger than the screen. Its own scroll arithmetic moves the page to the
// offsets (zero or negative) of its scroll positions.

#include "framework/Dialog.h"

#include <QAbstractScrollArea>
#include <memory>

// A page a container can host: it gives its values on request and reports
// acceptance or cancellation to its container.
class CContainerPage : public CDialog {
public:
    CContainerPage(const DlgTemplate& tmpl, QWidget* parent) : CDialog(tmpl, parent) {
        m_bFullScreen = false;
    }
    // The page's data exchange from its controls; false refuses to end.
    virtual bool TakeValues() { return true; }

protected:
    // Posts WM_PAGE_ACCEPTED or WM_PAGE_CANCELLED to the container, which
    // passes it on, still posted, to its own parent.
    void PostToContainer(int message);
    // Enter is the host's to answer; a page, being a dialog, would take it.
    void keyPressEvent(QKeyEvent* event) override;
};

// What a container's parent implements to receive the page's messages.
class CPageHost {
public:
    virtual ~CPageHost() = default;
    virtual void OnPageMessage(int message) = 0;
};

enum class ScrollRequest {
    LineUp,
    LineDown,
    PageUp,
    PageDown,
    ThumbTrack,
    Top,
    Bottom,
    ThumbPosition,
    EndScroll,
};

struct ScrollInfo {
    int min = 0;
    int max = 0;
    int page = 0;
    int pos = 0;
};

// The position a request leads to; `track` is the thumb's tracked position.
int ScrollPosition(const ScrollInfo& info, ScrollRequest request, int track = 0);

class CPageContainer : public QAbstractScrollArea {
public:
    CPageContainer();
    ~CPageContainer() override;

    // Makes the container a child of `parent` at `rect`, with both scroll
    // bars; false when it cannot be made.
    bool Create(QWidget* parent, const QRect& rect, int id);
    bool IsCreated() const { return m_bCreated; }
    int Id() const { return m_nId; }

    // Takes the page; it is created once both page and window exist.
    void SetPage(std::unique_ptr<CContainerPage> page);
    CContainerPage* Page() const { return m_page.get(); }

    // Ends the page: with `takeValues` the page's data exchange runs first
    // and a refusal keeps the page; then the page window is destroyed.
    bool EndPage(bool takeValues);

    // The handlers of size changes and scroll requests.
    void OnSize(int cx, int cy);
    void OnHScroll(ScrollRequest request, int track = 0);
    void OnVScroll(ScrollRequest request, int track = 0);

    const ScrollInfo& HInfo() const { return m_h; }
    const ScrollInfo& VInfo() const { return m_v; }
    int XOffset() const { return m_nXOffset; }
    int YOffset() const { return m_nYOffset; }

    // A page's message, passed on to the parent.
    void PostToParent(int message);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int, int) override {}

private:
    void CreatePage();
    void Scroll(bool vertical, ScrollRequest request, int track);
    void SyncBars();
    void MovePage();

    std::unique_ptr<CContainerPage> m_page;
    ScrollInfo m_h;
    ScrollInfo m_v;
    int m_nXOffset = 0;
    int m_nYOffset = 0;
    int m_nId = 0;
    bool m_bCreated = false;
    bool m_bSyncing = false;
};
