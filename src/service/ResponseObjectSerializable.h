#pragma once
// What a model of a service answer provides: it reads itself from the HTTP answer and the answer's
// decoded body, and refuses a body that lacks what it needs.

class QNetworkReply;
class QVariant;

class ResponseObjectSerializable
{
public:
    virtual ~ResponseObjectSerializable() = default;

    // Takes the model's members from representation (a QVariantMap or a QJsonObject); false, with
    // the model unchanged, when one it needs is missing or of another type.
    [[nodiscard]] virtual bool read(const QNetworkReply &response, const QVariant &representation) = 0;

protected:
    ResponseObjectSerializable() = default;
    ResponseObjectSerializable(const ResponseObjectSerializable &) = default;
    ResponseObjectSerializable &operator=(const ResponseObjectSerializable &) = default;
};
