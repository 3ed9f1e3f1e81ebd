#pragma once
// One GET for the updater: TLS verification on, no cookies, redirects only to places as safe, a
// time-out for a stalled transfer and one for the whole, and a limit on the body's size. The body
// is kept in memory or written to a file as it arrives.

#include <QByteArray>
#include <QObject>
#include <QUrl>

#include <chrono>
#include <functional>

class QIODevice;
class QNetworkAccessManager;
class QNetworkReply;

class HttpFetch : public QObject
{
    Q_OBJECT
public:
    struct Limits
    {
        qint64 maxBytes;
        std::chrono::milliseconds stallTimeout; // no byte moving for this long
        std::chrono::milliseconds deadline; // the whole transfer
    };
    enum class Failure { None, Unreachable, TimedOut, Status, TooLarge, Unwritable };
    struct Result
    {
        Failure failure = Failure::None;
        int status = 0; // the HTTP status, 0 when no answer came
        QByteArray body; // without a sink
        qint64 size = 0; // bytes of the body taken
    };
    using Completion = std::function<void(const Result &result)>;

    // Starts at once. completion runs once, on this thread, and the fetch then deletes itself. The
    // body goes to sink when one is given (it has to stay open until then). The fetch belongs to
    // network: deleting the manager ends it without completion.
    HttpFetch(QNetworkAccessManager &network, const QUrl &url, const Limits &limits, QIODevice *sink,
              Completion completion);

private:
    [[nodiscard]] bool isSuccess() const;
    void checkDeclaredSize();
    void take();
    void stop(Failure failure);
    void finish();

    Limits m_limits;
    QIODevice *m_sink;
    Completion m_completion;
    QNetworkReply *m_reply = nullptr;
    Failure m_failure = Failure::None;
    QByteArray m_body;
    qint64 m_size = 0;
    bool m_finished = false;
};
