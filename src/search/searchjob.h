// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/historysearch.h"

#include <QList>
#include <QObject>

#include <memory>
#include <vector>

// One search of the history file at a time, run off the thread the job lives on. The matches come
// newest first in batches (the first ones at once, then a batch at most every few tens of
// milliseconds), up to a limit; all matches are counted. Every report is a queued signal, never sent
// from inside `start`; a search that has been replaced or cancelled reports nothing more. Destroying
// the job cancels its searches and waits for their threads, which end within a few thousand lines.
class SearchJob final : public QObject
{
    Q_OBJECT

public:
    explicit SearchJob(QObject *parent = nullptr);
    ~SearchJob() override;

    // Cancels the search running and starts one for `query` in the file at `path`, reporting at most
    // `limit` matches. Returns false when no thread could be started for it: nothing is reported then.
    bool start(const QString &path, const QString &query, const historysearch::Options &options, int limit);
    // Cancels the search running: nothing more is reported for it.
    void cancel();

signals:
    // The next matches, newest first, after those reported before.
    void found(const QList<historysearch::Entry> &entries);
    // How many matches there are so far; the last report before `finished` is the total.
    void counted(qint64 count);
    // Why the search could not go on (the first line of the description); `finished(false)` follows.
    void failed(const QString &problem);
    // The search has ended; `whole` when the whole file was searched.
    void finished(bool whole);

private:
    struct Run;
    // What a search found since it last posted; `last` when it has ended, `problem` why it could not go on.
    void deliver(quint64 generation, const QList<historysearch::Entry> &batch, qint64 count, bool last,
                 const QString &problem);
    // Joins the threads that have ended, or all of them.
    void reap(bool all);

    quint64 m_generation = 0;
    std::vector<std::unique_ptr<Run>> m_runs; // the current search last
};
