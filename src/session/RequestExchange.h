#pragma once
// The Log/Status window's requests (status polls, the report download and
// the upload of a joint's records) and their answers, over a radio link that
// may garble, drop, delay, repeat or slip in stray lines. The Vantrek answers
// every copy of a request it hears, and data blocks carry no number, so a
// request sent twice may be answered twice: the second answer must never be
// taken for the next block, nor make a second command circulate. This keeps
// one request outstanding at a time and knows which lines can still be
// answers to copies sent before.

#include <QByteArray>
#include <cstring>
#include <deque>

class CRequestExchange {
public:
    // Times a request is sent again after a damaged answer.
    static constexpr int kMaxRepeats = 3;
    // Times the watchdog sends a request again into a silent link before it
    // gives the download up and starts over.
    static constexpr int kMaxResends = 3;
    // Quiet ticks the next request waits for answers to earlier copies.
    static constexpr int kSurplusTicks = 3;
    // Ticks after which an unanswered poll is lost while the Vantrek's time
    // to answer is not known: the port is reset by then.
    static constexpr int kLostPollTicks = 30;

    // Sends `command`, whose answer begins with `head`. When the last answer
    // was taken while copies of its request were still unanswered, the new
    // request waits first (see Hold in the source).
    void Request(const QByteArray& command, const char* head);
    // Forgets the request and what it waits for (the download starts over);
    // copies of polls still unanswered stay counted.
    void Reset();
    // Forgets everything: the port was closed or opened.
    void ResetPort();

    // True while a request is outstanding or waiting to go out.
    bool Active() const { return !m_command.isEmpty(); }
    bool Awaits(const char* head) const { return Active() && std::strcmp(m_head, head) == 0; }
    const char* Head() const { return m_head; }
    // The outstanding request was sent again after every earlier copy's
    // answer had come (or could no longer come): its answer is the Vantrek's
    // to that very request.
    bool Confirming() const { return m_bConfirming; }

    // Called once a tick before the line is looked at. Free: the caller acts
    // on the tick as usual; on a quiet tick after a damaged answer the
    // request has gone again. Surplus: the line answers a copy sent earlier;
    // it may be shown, but nothing is sent for it. Held: the next request is
    // waiting for such answers; nothing else is to happen.
    enum class TickUse { Free, Surplus, Held };
    TickUse OnTick(bool gotLine, const QByteArray& line, bool quiet);

    // The awaited answer was taken.
    void Answered(const QByteArray& line);
    // A line that answered the request came damaged: the request goes again
    // on the next quiet tick, or, with `hold`, once earlier copies' answers
    // are in (so that the same text again confirms it). False when it went
    // often enough and the caller is to make do with what came.
    bool Damaged(bool hold = false);
    // Another copy of the outstanding request, in a new text (a fresh status
    // poll after a silence).
    void Again(const QByteArray& command);
    // The link has been silent too long: the request goes again at once, as
    // the watchdog's fresh command. False when it went often enough.
    bool Resend();

private:
    void Send();
    bool NothingOwed() const;
    // Forgets the poll copies whose answers can no longer come.
    void DropLostPolls();

    QByteArray m_command;
    const char* m_head = "";
    bool m_bWaiting = false; // m_command waits for surplus answers
    int m_nSent = 0;
    int m_nRepeats = 0;
    int m_nResends = 0;
    bool m_bDamaged = false;
    bool m_bRepeatHeld = false; // the repeat waits for earlier copies' answers
    bool m_bConfirming = false;
    // The last answer taken, and how many copies of its request are still
    // unanswered.
    QByteArray m_lastAnswer;
    const char* m_lastHead = "";
    bool m_bBlockAnswer = false; // a block reply, known again by its text
    int m_nSurplus = 0;
    int m_nHoldTicks = 0;
    // Every copy of a status poll not yet answered, oldest first: the tick it
    // went out and the poll it is a copy of. The next status replies are
    // theirs, whatever was asked since.
    struct PollCopy {
        int tick;
        int poll;
    };
    std::deque<PollCopy> m_polls;
    int m_nPoll = 0; // the poll asked for last
    int m_nTick = 0;
    // Ticks the Vantrek took to answer a poll sent once, when one was seen.
    int m_nLatency = -1;
};
