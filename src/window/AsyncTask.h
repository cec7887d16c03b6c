#pragma once

#include <QFutureWatcher>
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
