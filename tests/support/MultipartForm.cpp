#include "MultipartForm.h"

#include <QRegularExpression>

namespace MultipartForm {

QByteArray boundary(const QByteArray &contentType)
{
    const QList<QByteArray> parameters = contentType.split(';');
    if (parameters.isEmpty() || parameters.first().trimmed().toLower() != "multipart/form-data")
        return {};
    for (const QByteArray &parameter : parameters.mid(1)) {
        const QByteArray trimmed = parameter.trimmed();
        if (!trimmed.toLower().startsWith("boundary="))
            continue;
        QByteArray value = trimmed.mid(int(sizeof("boundary=") - 1));
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return {};
}

namespace {

// The field name of a part's headers, or no value when they carry no form-data disposition.
std::optional<QString> fieldName(const QByteArray &headers)
{
    static const QRegularExpression disposition(
        QStringLiteral("^content-disposition:\\s*form-data\\s*;(?:.*;)?\\s*name=\"([^\"]*)\""),
        QRegularExpression::CaseInsensitiveOption);
    for (const QByteArray &line : headers.split('\n')) {
        const QRegularExpressionMatch match = disposition.match(QString::fromUtf8(line.trimmed()));
        if (match.hasMatch())
            return match.captured(1);
    }
    return std::nullopt;
}

} // namespace

std::optional<Fields> parse(const QByteArray &body, const QByteArray &boundary)
{
    if (boundary.isEmpty())
        return std::nullopt;
    const QByteArray delimiter = "--" + boundary;
    const QByteArray crlf = "\r\n";
    // The body must open with the first delimiter; a preamble is not something the client writes.
    if (!body.startsWith(delimiter))
        return std::nullopt;

    Fields fields;
    qsizetype at = delimiter.size();
    while (true) {
        if (body.mid(at, 2) == "--")
            return body.mid(at + 2).trimmed().isEmpty() ? std::optional<Fields>(fields) : std::nullopt;
        if (body.mid(at, 2) != crlf)
            return std::nullopt;
        at += 2;
        const qsizetype headersEnd = body.indexOf("\r\n\r\n", at);
        const qsizetype next = body.indexOf(crlf + delimiter, at);
        if (headersEnd < 0 || next < 0 || headersEnd > next)
            return std::nullopt;
        const std::optional<QString> name = fieldName(body.mid(at, headersEnd - at));
        if (!name)
            return std::nullopt;
        const qsizetype valueStart = headersEnd + 4;
        fields.append({*name, QString::fromUtf8(body.mid(valueStart, next - valueStart))});
        at = next + crlf.size() + delimiter.size();
    }
}

} // namespace MultipartForm
