#include "calibration/PageContainer.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>

namespace {
constexpr int kLineStep = 8; // pixels

ScrollRequest RequestOf(int action) {
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        return ScrollRequest::LineUp;
    case QAbstractSlider::SliderSingleStepAdd:
        return ScrollRequest::LineDown;
    case QAbstractSlider::SliderPageStepSub:
        return ScrollRequest::PageUp;
    case QAbstractSlider::SliderPageStepAdd:
        return ScrollRequest::PageDown;
    case QAbstractSlider::SliderToMinimum:
        return ScrollRequest::Top;
    case QAbstractSlider::SliderToMaximum:
        return ScrollRequest::Bottom;
    case QAbstractSlider::SliderMove:
        return ScrollRequest::ThumbTrack;
    default:
        return ScrollRequest::ThumbPosition;
    }
}
} // namespace

void CContainerPage::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->ignore(); // passed up, through the container, to the host
        return;
    }
    CDialog::keyPressEvent(event);
}

void CContainerPage::PostToContainer(int message) {
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* container = dynamic_cast<CPageContainer*>(w)) {
            container->PostToParent(message);
            return;
        }
}

int ScrollPosition(const ScrollInfo& si, ScrollRequest request, int track) {
    int pos = si.pos;
    switch (request) {
    case ScrollRequest::LineUp:
        if (pos > si.min)
            pos = std::max(pos - kLineStep, si.min);
        break;
    case ScrollRequest::LineDown:
        if (pos < si.max)
            pos += kLineStep;
        pos = std::min(pos, si.max - si.page);
        break;
    case ScrollRequest::PageUp:
        if (pos > si.min)
            pos = std::max(pos - si.page, si.min);
        break;
    case ScrollRequest::PageDown:
        if (pos < si.max)
            pos = std::min(pos + si.page, si.max - si.page);
        break;
    case ScrollRequest::ThumbTrack:
        pos = track;
        break;
    case ScrollRequest::Top:
        pos = si.min;
        break;
    case ScrollRequest::Bottom:
        pos = si.max - si.page;
        break;
    case ScrollRequest::ThumbPosition:
    case ScrollRequest::EndScroll:
        break;
    }
    // With no range to scroll (a page that fits) max - page lies below min:
    // the page never leaves the top.
    return std::max(pos, si.min);
}

CPageContainer::CPageContainer() {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalScrollBar()->setSingleStep(kLineStep);
    horizontalScrollBar()->setSingleStep(kLineStep);
    // The bars' own moves are replaced by the container's arithmetic before
    // they take effect.
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this](int action) {
        if (!m_bSyncing)
            Scroll(true, RequestOf(action), verticalScrollBar()->sliderPosition());
    });
    connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this, [this](int action) {
        if (!m_bSyncing)
            Scroll(false, RequestOf(action), horizontalScrollBar()->sliderPosition());
    });
}

CPageContainer::~CPageContainer() = default;

bool CPageContainer::Create(QWidget* parent, const QRect& rect, int id) {
    if (!parent)
        return false;
    setParent(parent);
    setGeometry(rect);
    m_nId = id;
    m_bCreated = true;
    show();
    CreatePage();
    OnSize(viewport()->width(), viewport()->height());
    return true;
}

void CPageContainer::SetPage(std::unique_ptr<CContainerPage> page) {
    m_page = std::move(page);
    CreatePage();
    if (m_bCreated)
        OnSize(viewport()->width(), viewport()->height());
}

void CPageContainer::CreatePage() {
    if (!m_bCreated || !m_page || m_page->IsCreated())
        return;
    m_page->setParent(viewport(), Qt::Widget);
    m_page->Create();
    m_page->move(0, 0);
    m_page->show();
}

bool CPageContainer::EndPage(bool takeValues) {
    if (!m_page)
        return true;
    if (takeValues && !m_page->TakeValues())
        return false;
    m_page.reset();
    return true;
}

void CPageContainer::OnSize(int cx, int cy) {
    bool moved = false;
    if (!m_page) {
        m_h.max = m_h.page = m_v.max = m_v.page = 0;
    } else {
        const int w = m_page->width();
        const int h = m_page->height();
        m_h.page = cx;
        if (cx >= w) {
            m_h.max = 0;
            m_nXOffset = 0;
            moved = true;
        } else {
            m_h.min = 0;
            m_h.max = w;
        }
        m_v.page = cy;
        if (cy >= h) {
            m_v.max = 0;
            m_nYOffset = 0;
            moved = true;
        } else {
            m_v.min = 0;
            m_v.max = h;
        }
        // Written back as the platform does, a position keeps within its
        // range, and the page follows it.
        for (auto [si, offset] : {std::pair{&m_h, &m_nXOffset}, std::pair{&m_v, &m_nYOffset}}) {
            const int pos = std::clamp(si->pos, si->min, std::max(si->min, si->max - si->page));
            if (pos != si->pos) {
                si->pos = pos;
                *offset = -pos;
                moved = true;
            }
        }
        if (moved)
            MovePage();
    }
    SyncBars();
}

void CPageContainer::OnHScroll(ScrollRequest request, int track) {
    Scroll(false, request, track);
}

void CPageContainer::OnVScroll(ScrollRequest request, int track) {
    Scroll(true, request, track);
}

void CPageContainer::Scroll(bool vertical, ScrollRequest request, int track) {
    ScrollInfo& si = vertical ? m_v : m_h;
    si.pos = ScrollPosition(si, request, track);
    (vertical ? m_nYOffset : m_nXOffset) = -si.pos;
    SyncBars();
    MovePage();
}

void CPageContainer::SyncBars() {
    m_bSyncing = true;
    const std::pair<QScrollBar*, ScrollInfo*> bars[] = {{verticalScrollBar(), &m_v},
                                                        {horizontalScrollBar(), &m_h}};
    for (auto [bar, si] : bars) {
        bar->setRange(si->min, std::max(si->min, si->max - si->page));
        bar->setPageStep(std::max(0, si->page));
        bar->setSliderPosition(si->pos);
        bar->setValue(si->pos);
    }
    m_bSyncing = false;
}

void CPageContainer::MovePage() {
    if (m_page)
        m_page->move(m_nXOffset, m_nYOffset);
}

void CPageContainer::PostToParent(int message) {
    QWidget* parent = parentWidget();
    if (!dynamic_cast<CPageHost*>(parent))
        return;
    // Posted, so that the page that sent it has returned before the host
    // ends it.
    QTimer::singleShot(
        0, parent, [parent, message] { dynamic_cast<CPageHost*>(parent)->OnPageMessage(message); });
}

void CPageContainer::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    OnSize(viewport()->width(), viewport()->height());
}
