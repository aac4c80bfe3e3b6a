#ifndef WORKERTHREAD_H
#define WORKERTHREAD_H

#include <QObject>
#include <QString>
#include <QThread>

// Serves a worker from a thread of its own, so that nested event loops of
// the thread that owns it never stall it: the worker's begin() runs there
// first, and the worker is deleted when the thread ends.
class WorkerThread
{
public:
    WorkerThread() = default;
    ~WorkerThread() { stop(); }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    template<typename Worker>
    void start(Worker* worker, const QString& name)
    {
        thread = new QThread;
        thread->setObjectName(name);
        worker->moveToThread(thread);
        QObject::connect(thread, &QThread::started, worker, &Worker::begin);
        QObject::connect(thread, &QThread::finished, worker, &QObject::deleteLater);
        thread->start();
    }
    // Ends the thread and with it the worker; nothing is served after.
    void stop()
    {
        if (!thread)
            return;
        thread->quit();
        thread->wait();
        delete thread;
        thread = nullptr;
    }
    bool isRunning() const { return thread != nullptr; }

private:
    QThread* thread = nullptr;
};

#endif // WORKERTHREAD_H
