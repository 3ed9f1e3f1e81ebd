#pragma once
// Small helpers that several tests share: canned answers of the stand-in service, the client pointed
// at it, the secret-tool command, and files under a test's own system root.

#include "StandInService.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace TestHelpers {

// An answer with a JSON content type.
[[nodiscard]] StandInService::Answer jsonAnswer(int status, const QByteArray &body);
// The connection closes before any answer.
[[nodiscard]] StandInService::Answer closedConnection();
// Starts the service and points the client and the updater at it (VELMORA_API_URL,
// VELMORA_UPDATE_FEED, VELMORA_UPDATE_PUBLIC_KEY); false when it does not start.
[[nodiscard]] bool startForClient(StandInService &service);

// Returns once the work queued on the main queue so far has had its turn, so that a test can check
// what that work did or left undone; false when the loop never came round to it.
[[nodiscard]] bool runQueued();

// secret-tool's standard output, or none when it fails.
std::optional<QByteArray> secretTool(const QStringList &arguments);
// Writes contents to path under root, making its folders; with no contents only the folders are made.
bool writeFile(const QString &root, const QString &path, const std::optional<QByteArray> &contents);

} // namespace TestHelpers
