#pragma once
// A job run off the window's thread, the window told on its own thread:
// its progress while it runs, and its end once it has returned. A job
// started while another runs supersedes it: the older is told to stop, is
// never waited for and never delivered. Destroyed, the runner stops its job
// and waits for the thread.
#include <QObject>
#include <cstdint>
#include <memory>

#include "app/job.h"
#include "app/job_thread.h"

class QTimer;

namespace morvane {

class TJobRunner : public QObject {
    Q_OBJECT
public:
    // Progress is read every pollMs while a job runs.
    explicit TJobRunner(QObject* parent = nullptr, int pollMs = 100);
    ~TJobRunner() override;

    void Start(std::shared_ptr<Job> job);
    // Stops the job under way and waits for its thread; nothing is delivered.
    void Stop();
    // Drops the job under way without waiting; nothing is delivered.
    void Cancel();
    // A job is started and neither delivered, stopped nor dropped.
    bool Running() const { return running_; }
    // The job last started, until the next Start; its figures once delivered.
    template <class J>
    J* Current() const {
        return static_cast<J*>(job_.get());
    }

signals:
    // On the window's thread, while the job runs; a total of 0 says the job
    // does not count its units.
    void progress(std::int64_t done, std::int64_t total);
    // On the window's thread once the job has returned: what its Run said.
    void finished(bool completed);

private:
    void Collect();
    void Poll();

    QTimer* poll_;
    std::shared_ptr<Job> job_;
    bool running_ = false;
    JobThread thread_;  // last: it ends first, while the rest is there
};

}  // namespace morvane
