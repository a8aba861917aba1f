#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (end the program) and SIGUSR1 (come to the front) into Qt
// signals delivered on the event loop.
class UnixSignals final : public QObject
{
    Q_OBJECT

public:
    explicit UnixSignals(QObject *parent = nullptr);
    ~UnixSignals() override;

signals:
    void terminateRequested();
    void activateRequested();

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
};
