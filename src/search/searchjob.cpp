// SPDX-License-Identifier: GPL-3.0-or-later
#include "searchjob.h"

#include "core/commanderror.h"

#include <QElapsedTimer>
#include <QPointer>

#include <algorithm>
#include <atomic>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

namespace {
// The first matches are reported at once; then in batches, so a million matches are not a million
// events.
constexpr int firstBatch = 20;
constexpr int batchMs = 50;
} // namespace

// One search on its thread. The thread only reads the file and posts what it found to the job.
struct SearchJob::Run
{
    std::shared_ptr<std::atomic<bool>> cancel = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<std::atomic<bool>> done = std::make_shared<std::atomic<bool>>(false);
    std::thread thread;
};

SearchJob::SearchJob(QObject *parent) : QObject(parent) {}

SearchJob::~SearchJob()
{
    // Joined before the object goes: no thread posts to it afterwards, and what was posted is dropped
    // with it.
    for (const auto &run : m_runs)
        run->cancel->store(true);
    reap(true);
}

void SearchJob::reap(bool all)
{
    // A cancelled search ends within a few thousand lines: joining one that is done never waits.
    for (auto it = m_runs.begin(); it != m_runs.end();) {
        if (all || (*it)->done->load()) {
            if ((*it)->thread.joinable())
                (*it)->thread.join();
            it = m_runs.erase(it);
        } else {
            ++it;
        }
    }
}

void SearchJob::cancel()
{
    for (const auto &run : m_runs)
        run->cancel->store(true);
    reap(false);
    ++m_generation;
}

bool SearchJob::start(const QString &path, const QString &query, const historysearch::Options &options, int limit)
{
    cancel();
    const quint64 generation = m_generation;
    auto run = std::make_unique<Run>();
    auto work = [this, generation, path, query, options, limit, cancel = run->cancel, done = run->done] {
        QList<historysearch::Entry> batch;
        qint64 count = 0;
        qint64 posted = 0;
        QElapsedTimer sincePost;
        sincePost.start();
        const auto post = [&](bool finished, const QString &problem = {}) {
            QMetaObject::invokeMethod(
                this,
                [this, generation, batch = std::move(batch), count, finished, problem] {
                    deliver(generation, batch, count, finished, problem);
                },
                Qt::QueuedConnection);
            batch.clear();
            posted = count;
            sincePost.restart();
        };
        try {
            // The newest matches are reported; once there are `limit` of them, the rest are only counted,
            // on two threads and without decoding them.
            bool full = false;
            const bool searched = historysearch::search(
                path, query, options,
                [&](const historysearch::Entry &entry) {
                    ++count;
                    batch.push_back(entry);
                    full = count >= limit;
                    if (full || (posted == 0 && count == firstBatch) || sincePost.elapsed() >= batchMs)
                        post(false);
                    return !full;
                },
                cancel.get());
            if (searched && full) {
                if (const std::optional<qint64> total = historysearch::count(path, query, options, cancel.get()))
                    count = std::max(count, *total);
            }
            if (searched && !cancel->load())
                post(true);
        } catch (const CommandError &e) {
            if (!cancel->load())
                post(true, e.description.section(QLatin1Char('\n'), 0, 0));
        } catch (const std::bad_alloc &) {
            // An entry too large to hold ends this search, not the program.
            batch.clear();
            if (!cancel->load())
                post(true, errorDescription(ErrorNumber::OutOfMemory));
        }
        done->store(true);
    };
    try {
        run->thread = std::thread(std::move(work));
    } catch (const std::system_error &) {
        // No thread for the search (too many threads, or too little memory for its stack).
        return false;
    }
    m_runs.push_back(std::move(run));
    return true;
}

void SearchJob::deliver(quint64 generation, const QList<historysearch::Entry> &batch, qint64 count, bool last,
                        const QString &problem)
{
    // A receiver may start another search, or delete the job, from any of these signals: what is left
    // of this report is then stale.
    const QPointer<SearchJob> self(this);
    const auto current = [&] { return self && generation == m_generation; };
    if (!current())
        return; // a search that has been replaced
    if (!batch.isEmpty()) {
        emit found(batch);
        if (!current())
            return;
    }
    emit counted(count);
    if (!current())
        return;
    if (!problem.isEmpty()) {
        emit failed(problem);
        if (!current())
            return;
    }
    if (last) {
        reap(false);
        emit finished(problem.isEmpty());
    }
}
