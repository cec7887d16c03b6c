#pragma once

#include <QFutureWatcher>
#include <QPromise>
#include <QThreadPool>
#include <QtConcurrent>

// Blocking work for the window: `job` runs on `pool`, and its result is handed to
// `done` on the GUI thread, unless `context` is gone by then (the watcher dies with
// it, and the result with the watcher).
template <typename Result, typename Job, typename Done>
void runThenCallback(QThreadPool* pool, QObject* context, Job job, Done done)
{
    auto* watcher = new QFutureWatcher<Result>(context);
    QObject::connect(watcher, &QFutureWatcher<Result>::finished, context, [watcher, done] {
        watcher->deleteLater();
        done(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run(pool, std::move(job)));
}

// Work that reports by itself, from any thread: `start` is handed the function to
// report with, and the result reaches `done` on the GUI thread unless `context` is gone
// by then. A report that never comes (its owner went first) leaves nothing behind.
template <typename Result, typename Start, typename Done>
void startThenCallback(QObject* context, Start start, Done done)
{
    auto promise = std::make_shared<QPromise<Result>>();
    auto* watcher = new QFutureWatcher<Result>(context);
    QObject::connect(watcher, &QFutureWatcher<Result>::finished, context, [watcher, done] {
        watcher->deleteLater();
        if (watcher->future().resultCount() > 0)
            done(watcher->result());
    });
    watcher->setFuture(promise->future());
    promise->start();
    start([promise](const Result& result) {
        promise->addResult(result);
        promise->finish();
    });
}
