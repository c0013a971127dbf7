#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

// The firmware transfer, run by the window's slots: start() for the start
// button, receive() for every input report of the link thread, sendError()
// for its usb_send_error. It asks for the upgrade-entry frame through the
// poll tick, waits 3 s on a timer (replies are ignored meanwhile), then sends
// the handshake and the numbered data packets one at a time, each only after
// the previous one is acknowledged. Only progress keeps it alive: 12 s without
// it, or a whole run past its deadline, ends it as timed out. Its steps come
// out as signals with their numbers; the window and the command-line tool say
// them in their own words.
class FirmwareUpgrade : public QObject
{
    Q_OBJECT

public:
    enum class State { Idle, Entering, Handshaking, Transferring, Burning };
    // EndedEarly: the instrument said it was done (0xEE or 0xFF) before
    // every packet had been acknowledged.
    enum class Outcome { None, Done, Failed, TimedOut, SendError, EndedEarly };

    static constexpr int EntryWaitMs = 3000;
    static constexpr int SilenceTickMs = 100;
    static constexpr int TimeoutLimit = 120; // 120 x 100 ms = 12 s
    // The whole run, from the handshake to the burn's end, may take 1 s per
    // packet plus 30 s; an instrument that makes progress too slowly to ever
    // finish must not keep the upgrade going for days.
    static constexpr qint64 DeadlineMsPerPacket = 1000;
    static constexpr qint64 DeadlineSlackMs = 30000;
    static qint64 deadlineMs(int imageSize);

    enum ReplyCode : unsigned char {
        HandshakeAccepted = 0xBB,
        Acknowledged = 0xDD,
        AllReceived = 0xEE,
        BurnCompleted = 0xFF,
        UpgradeFailed = 0x11,
    };

    // Milliseconds since the epoch; tests pass their own clock.
    using Clock = std::function<qint64()>;

    explicit FirmwareUpgrade(QObject *parent = nullptr);

    void setClock(Clock clock);

    // Starts an upgrade with this image (1 to 1,024,000 bytes; anything else
    // is refused with false and nothing happens). An upgrade already running
    // is dropped silently and the new one starts from the beginning.
    bool start(const QByteArray &image);
    // Ends a running upgrade without a message (window closing).
    void cancel();

    // Set by start(); the poll tick takes it once and sends the upgrade-entry
    // frame (55 05 09 02 00 00 00 EE FF) instead of its status query.
    bool takeEntryRequest();

    State state() const { return m_state; }
    Outcome outcome() const { return m_outcome; }
    // `upgradeActive`: replies are examined only while true.
    bool isActive() const { return m_active; }
    bool isSilenceTimerRunning() const { return m_silenceTimer.isActive(); }
    int timeoutCount() const { return m_timeoutCount; }
    // Index of the last packet acknowledged in order; -1 before the first.
    int acknowledgedIndex() const { return m_acknowledged; }
    // The last timeout came from the whole run's deadline, not from silence.
    bool pastDeadline() const { return m_pastDeadline; }
    int progressValue() const { return m_progressValue; }

public slots:
    // One 64-byte input report (a shorter one counts as zero-padded).
    void receive(const QByteArray &report);
    // The link thread could not write a packet whole.
    void sendError();
    // The end of the 3 s wait; called by the internal timer, or directly.
    void entryWaitElapsed();
    // One 100 ms silence tick; called by the internal timer, or directly.
    void silenceTick();

signals:
    // Run the poll tick once now: it will find the entry request pending.
    void entryFrameRequested();
    // A 64-byte packet for the link thread's write(data, 64).
    void packetReady(const QByteArray &packet);
    // An upgrade started: the instrument is asked into its bootloader.
    void started();
    // The 3 s wait is over and the handshake went out.
    void handshakeSent();
    // The handshake was accepted; data packets follow.
    void transferStarted();
    // Progress 0..100 and the percentage with one decimal ("37.5"); an empty
    // text with 0 when an upgrade starts. Never 100 before the burn is done.
    void progressChanged(int value, const QString &percent);
    // Every packet is in (0xEE); `seconds` from the accepted handshake.
    void transferComplete(qint64 bytes, qint64 seconds);
    // The instrument burned the image (0xFF); `seconds` from the handshake.
    void burnComplete(qint64 seconds);
    // The upgrade is over: done, failed, timed out, ended by a send error or
    // ended early by the instrument.
    void finished(FirmwareUpgrade::Outcome outcome);

private:
    void onHandshakeReply(const unsigned char *report);
    void onAcknowledge(const unsigned char *report);
    void onAllReceived();
    void onBurnCompleted();
    void onFailed();
    bool allAcknowledged() const;
    void sendNextPacket();
    void updateProgress();
    void end(Outcome outcome);
    void endFailed(Outcome outcome);
    qint64 nowSecs() const;

    QTimer m_entryTimer;
    QTimer m_silenceTimer;
    Clock m_clock;

    QByteArray m_image;
    State m_state = State::Idle;
    Outcome m_outcome = Outcome::None;
    bool m_active = false;
    bool m_entryPending = false;
    int m_timeoutCount = 0;
    int m_bytesRemaining = 0;
    int m_packetIndex = 0;
    int m_packetCount = 0;
    int m_acknowledged = -1;
    qint64 m_deadlineAtMs = 0;
    bool m_pastDeadline = false;
    qint64 m_transferStartSecs = 0;
    qint64 m_transferEndSecs = 0;
    qint64 m_burnEndSecs = 0;
    int m_progressValue = 0;
    QString m_progressText;
    QByteArray m_packet; // reused for every data packet
};

Q_DECLARE_METATYPE(FirmwareUpgrade::Outcome)
