#include "session/RequestExchange.h"

#include "link/Link.h"

#include <algorithm>
#include <cstring>

// Hold: an answer taken while copies of its request were still unanswered
// (a repeat after a damaged line that was only a stray, or the watchdog's
// resend of a late answer) may be followed by one more answer per copy. Data
// blocks carry no number, so such a surplus answer would pass for the next
// block: every later block one behind, one twice and the last lost. So the
// next request waits until the surplus has come (every line meanwhile is
// dropped: none can answer a request not yet sent) or until kSurplusTicks
// quiet ticks show that no more is on its way. A surplus later still is the
// very line taken before (consecutive blocks differ in their times) and is
// dropped as well; status replies, which repeat themselves while nothing
// changes, are not recognised that way.
void CRequestExchange::Request(const QByteArray& command, const char* head) {
    m_command = command;
    m_head = head;
    m_nSent = 0;
    m_nRepeats = 0;
    m_nResends = 0;
    m_bDamaged = false;
    m_bWaiting = m_nSurplus > 0;
    m_nHoldTicks = kSurplusTicks;
    if (!m_bWaiting)
        Send();
}

void CRequestExchange::Reset() {
    *this = CRequestExchange();
}

void CRequestExchange::Send() {
    m_bWaiting = false;
    ++m_nSent;
    LinkPuts(m_command);
}

CRequestExchange::TickUse CRequestExchange::OnTick(bool gotLine, const QByteArray& line,
                                                   bool quiet) {
    if (m_bWaiting) {
        TickUse use = TickUse::Held;
        if (gotLine && m_nSurplus > 0 && line.startsWith(m_lastHead)) {
            --m_nSurplus;
            use = TickUse::Surplus;
        } else if (quiet) {
            --m_nHoldTicks;
        }
        if (m_nSurplus == 0 || m_nHoldTicks <= 0)
            Send();
        return use;
    }
    if (gotLine && m_nSurplus > 0 && m_bBlockAnswer && line == m_lastAnswer) {
        --m_nSurplus;
        return TickUse::Surplus;
    }
    // The Vantrek answers each request once, so a request goes again only
    // when its answer came damaged and nothing else followed it.
    if (quiet && m_bDamaged && Active()) {
        m_bDamaged = false;
        ++m_nRepeats;
        Send();
    }
    return TickUse::Free;
}

void CRequestExchange::Answered(const QByteArray& line) {
    m_nSurplus = std::max(0, m_nSent - 1);
    m_lastAnswer = line;
    m_lastHead = m_head;
    m_bBlockAnswer = std::strchr(m_head, ':') != nullptr;
    m_command.clear();
    m_head = "";
    m_bDamaged = false;
}

bool CRequestExchange::Damaged() {
    if (m_nRepeats >= kMaxRepeats)
        return false;
    m_bDamaged = true;
    return true;
}

void CRequestExchange::Again(const QByteArray& command) {
    m_command = command;
    Send();
}

bool CRequestExchange::Resend() {
    if (m_nResends >= kMaxResends)
        return false;
    ++m_nResends;
    m_bDamaged = false;
    Send();
    return true;
}
