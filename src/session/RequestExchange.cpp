#include "session/RequestExchange.h"

#include "link/BlockReply.h"
#include "link/Link.h"

#include <algorithm>
#include <cstring>

namespace {
// A status reply, whole or damaged: only a poll is answered by one.
bool IsStatusLine(const QByteArray& line) {
    return line.startsWith(kReplyStatus) && line.size() > 42;
}
} // namespace

// Hold: an answer taken while copies of its request were still unanswered
// (a repeat after a damaged line that was only a stray, or the watchdog's
// resend of a late answer) may be followed by one more answer per copy. Data
// blocks carry no number, so such a surplus answer would pass for the next
// block: every later block one behind, one twice and the last lost. So the
// next request waits until the surplus has come (every line meanwhile is
// dropped: none can answer a request not yet sent) or until kSurplusTicks
// quiet ticks show that no more is on its way. A surplus later still is the
// very line taken before (consecutive blocks differ in their times) and is
// dropped as well. Status replies repeat themselves while nothing changes,
// so every copy of a poll is kept in the order sent, and every status reply
// answers the oldest: it answers a later request (an upload's acknowledgement
// above all) only when no earlier copy is left. A copy is given up as lost
// once it is older than the Vantrek's answers have been taking (and than the
// port's reset while that is not known), so a silence that swallowed copies
// cannot leave the replies to come answering what they do not answer.
void CRequestExchange::Request(const QByteArray& command, const char* head) {
    m_command = command;
    m_head = head;
    m_nSent = 0;
    m_nRepeats = 0;
    m_nResends = 0;
    m_bDamaged = false;
    m_bRepeatHeld = false;
    m_bConfirming = false;
    m_bWaiting = !NothingOwed();
    m_nHoldTicks = kSurplusTicks;
    if (!m_bWaiting)
        Send();
}

void CRequestExchange::Reset() {
    CRequestExchange kept;
    kept.m_polls = m_polls;
    kept.m_nPoll = m_nPoll;
    kept.m_nTick = m_nTick;
    kept.m_nLatency = m_nLatency;
    *this = kept;
}

void CRequestExchange::ResetPort() {
    *this = CRequestExchange();
}

void CRequestExchange::Send() {
    m_bWaiting = false;
    m_bConfirming = false;
    if (Awaits(kReplyStatus)) {
        if (m_nSent == 0)
            ++m_nPoll;
        m_polls.push_back({m_nTick, m_nPoll});
    }
    ++m_nSent;
    LinkPuts(m_command);
}

bool CRequestExchange::NothingOwed() const {
    const bool pollsOwed = !m_polls.empty() && (!Awaits(kReplyStatus) ||
                                                m_polls.front().poll != m_nPoll || m_nSent == 0);
    return m_nSurplus == 0 && !pollsOwed;
}

void CRequestExchange::DropLostPolls() {
    // Beyond the port's reset every byte still on its way is gone anyway.
    const int horizon = m_nLatency >= 0 ? m_nLatency + kSurplusTicks : kLostPollTicks;
    while (!m_polls.empty() && m_nTick - m_polls.front().tick > horizon)
        m_polls.pop_front();
}

CRequestExchange::TickUse CRequestExchange::OnTick(bool gotLine, const QByteArray& line,
                                                   bool quiet) {
    ++m_nTick;
    DropLostPolls();
    if (gotLine && !m_polls.empty() && IsStatusLine(line)) {
        const PollCopy oldest = m_polls.front();
        m_polls.pop_front();
        if (!m_bWaiting && Awaits(kReplyStatus) && oldest.poll == m_nPoll) {
            // The poll's own answer; sent once, it shows how long one takes
            // (the longest of late, forgotten slowly).
            if (m_nSent == 1)
                m_nLatency = std::max(m_nTick - oldest.tick, m_nLatency - 1);
            return TickUse::Free;
        }
        if (m_bWaiting && NothingOwed())
            Send();
        return TickUse::Surplus;
    }
    if (m_bWaiting) {
        TickUse use = TickUse::Held;
        if (gotLine && m_nSurplus > 0 && line.startsWith(m_lastHead)) {
            --m_nSurplus;
            use = TickUse::Surplus;
        } else if (quiet) {
            --m_nHoldTicks;
        }
        if (NothingOwed() || m_nHoldTicks <= 0)
            Send();
        return use;
    }
    if (gotLine && m_nSurplus > 0 && m_bBlockAnswer && line == m_lastAnswer) {
        --m_nSurplus;
        return TickUse::Surplus;
    }
    if (m_bRepeatHeld) {
        // The repeat that may confirm a suspect answer goes once no copy of
        // it can be on its way any more.
        if (quiet && --m_nHoldTicks <= 0) {
            m_bRepeatHeld = false;
            ++m_nRepeats;
            Send();
            m_bConfirming = true;
        }
        return TickUse::Free;
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
    // Copies of a poll stay in line for their answers.
    m_nSurplus = Awaits(kReplyStatus) ? 0 : std::max(0, m_nSent - 1);
    m_lastAnswer = line;
    m_lastHead = m_head;
    m_bBlockAnswer = std::strchr(m_head, ':') != nullptr;
    m_command.clear();
    m_head = "";
    m_bDamaged = false;
    m_bRepeatHeld = false;
    m_bConfirming = false;
}

bool CRequestExchange::Damaged(bool hold) {
    if (m_nRepeats >= kMaxRepeats)
        return false;
    if (hold || m_bRepeatHeld) {
        m_bRepeatHeld = true;
        m_nHoldTicks = kSurplusTicks;
    } else {
        m_bDamaged = true;
    }
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
    // After a silence no earlier copy's answer is on its way either.
    const bool confirming = m_bConfirming || m_bRepeatHeld;
    m_bDamaged = false;
    m_bRepeatHeld = false;
    Send();
    m_bConfirming = confirming;
    return true;
}
