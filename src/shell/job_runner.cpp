#include "shell/job_runner.h"

#include <QMetaObject>
#include <QTimer>

namespace morvane {

TJobRunner::TJobRunner(QObject* parent, int pollMs) : QObject(parent) {
    poll_ = new QTimer(this);
    poll_->setInterval(pollMs);
    connect(poll_, &QTimer::timeout, this, &TJobRunner::Poll);
    // The job's thread only posts; what it posts runs here, and not at all
    // once the runner is gone.
    thread_.OnEnd([this] { QMetaObject::invokeMethod(this, &TJobRunner::Collect, Qt::QueuedConnection); });
}

// Waits while the runner is whole: the thread may be telling it of an end.
TJobRunner::~TJobRunner() { thread_.Stop(); }

void TJobRunner::Start(std::shared_ptr<Job> job) {
    job_ = job;
    running_ = true;
    thread_.Start(std::move(job));
    poll_->start();
}

void TJobRunner::Stop() {
    thread_.Stop();
    poll_->stop();
    running_ = false;
}

void TJobRunner::Cancel() {
    thread_.Cancel();
    poll_->stop();
    running_ = false;
}

void TJobRunner::Poll() {
    if (running_) emit progress(job_->Done(), job_->Total());
}

// An end posted before a newer start, a stop or a drop finds nothing to take.
void TJobRunner::Collect() {
    const auto ended = thread_.Take();
    if (!ended || !running_ || ended->job != job_) return;
    poll_->stop();
    running_ = false;
    emit progress(job_->Done(), job_->Total());
    emit finished(ended->completed);
}

}  // namespace morvane
