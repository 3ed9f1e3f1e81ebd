#pragma once
// Reads the fields of a multipart/form-data body, the way the service reads the client's forms.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

namespace MultipartForm {

using Fields = QList<QPair<QString, QString>>;

// The boundary named by a Content-Type value ("multipart/form-data; boundary=..."); empty when none.
[[nodiscard]] QByteArray boundary(const QByteArray &contentType);

// The fields in body order; no value when the body is not a well-formed form with that boundary.
[[nodiscard]] std::optional<Fields> parse(const QByteArray &body, const QByteArray &boundary);

} // namespace MultipartForm
