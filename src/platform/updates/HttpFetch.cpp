#include "HttpFetch.h"

#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QTimer>

namespace {

constexpr int maxRedirects = 5;

} // namespace

HttpFetch::HttpFetch(QNetworkAccessManager &network, const QUrl &url, const Limits &limits, QIODevice *sink,
                     Completion completion)
    : QObject(&network)
    , m_limits(limits)
    , m_sink(sink)
    , m_completion(std::move(completion))
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(maxRedirects);
    request.setTransferTimeout(int(limits.stallTimeout.count()));
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    request.setSslConfiguration(tls);

    // The manager deletes its replies, children or not, before anything else of its own.
    m_reply = network.get(request);
    m_reply->setParent(this);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &HttpFetch::checkDeclaredSize);
    connect(m_reply, &QNetworkReply::readyRead, this, &HttpFetch::take);
    connect(m_reply, &QNetworkReply::finished, this, &HttpFetch::finish);
    QTimer::singleShot(limits.deadline, this, [this] { stop(Failure::TimedOut); });
}

bool HttpFetch::isSuccess() const
{
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return status >= 200 && status < 300;
}

void HttpFetch::checkDeclaredSize()
{
    const QVariant declared = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (isSuccess() && declared.isValid() && declared.toLongLong() > m_limits.maxBytes)
        stop(Failure::TooLarge);
}

void HttpFetch::take()
{
    // A stopped reply has nothing more to read.
    if (m_failure != Failure::None)
        return;
    const QByteArray chunk = m_reply->readAll();
    // The body of an error answer is not what was asked for.
    if (!isSuccess())
        return;
    m_size += chunk.size();
    if (m_size > m_limits.maxBytes) {
        stop(Failure::TooLarge);
        return;
    }
    if (!m_sink)
        m_body += chunk;
    else if (m_sink->write(chunk) != chunk.size())
        stop(Failure::Unwritable);
}

void HttpFetch::stop(Failure failure)
{
    if (m_finished || m_failure != Failure::None)
        return;
    m_failure = failure;
    m_reply->abort();
}

void HttpFetch::finish()
{
    if (m_finished)
        return;
    take();
    m_finished = true;
    Result result;
    result.status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QNetworkReply::NetworkError error = m_reply->error();
    if (m_failure != Failure::None)
        result.failure = m_failure;
    else if (error == QNetworkReply::NoError)
        result.failure = isSuccess() ? Failure::None : Failure::Status;
    else if (result.status != 0 && !isSuccess())
        result.failure = Failure::Status;
    else if (error == QNetworkReply::TimeoutError || error == QNetworkReply::OperationCanceledError)
        result.failure = Failure::TimedOut;
    else
        result.failure = Failure::Unreachable;
    result.body = std::move(m_body);
    result.size = m_size;
    // Before the completion, which may delete the manager and with it this fetch.
    deleteLater();
    m_completion(result);
}
