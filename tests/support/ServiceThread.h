#pragma once
// The stand-in service on a thread of its own, for measurements where its work must not count
// against the main loop of the client under test.

#include "StandInService.h"

#include <QObject>
#include <QThread>

#include <functional>
#include <memory>

class ServiceThread
{
public:
    // Starts the service, then runs setUp on its thread (canned answers and the like).
    explicit ServiceThread(const std::function<void(StandInService &)> &setUp = {});
    ~ServiceThread();
    ServiceThread(const ServiceThread &) = delete;
    ServiceThread &operator=(const ServiceThread &) = delete;

    [[nodiscard]] QString apiUrl() const { return m_apiUrl; }
    // Runs fn on the service's thread and waits for it.
    void run(const std::function<void(StandInService &)> &fn);

private:
    QThread m_thread;
    QObject m_context;
    std::unique_ptr<StandInService> m_service;
    QString m_apiUrl;
};
