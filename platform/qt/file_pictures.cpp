#include "platform/qt/file_pictures.h"

#include <QDateTime>
#include <QFileInfo>
#include <QMetaObject>
#include <chrono>
#include <utility>

namespace cellarium {

FilePictureCache::FilePictureCache(std::function<void(const QString&)> ready)
    : ready_(std::move(ready)), shared_(std::make_shared<Shared>()) {
    shared_->deliver = [this](Job job, FilePicture picture) {
        QMetaObject::invokeMethod(
            &receiver_,
            [this, job = std::move(job), picture = std::move(picture)]() mutable {
                Store(job, std::move(picture));
            },
            Qt::QueuedConnection);
    };
}

FilePictureCache::~FilePictureCache() {
    std::unique_lock lock(shared_->mutex);
    shared_->stopping = true;
    shared_->queue.clear();
    shared_->deliver = nullptr;
    shared_->wake.notify_all();
    // A picture being made is waited for a moment; a worker stuck reading
    // is left behind holding its own share of the state.
    shared_->idle.wait_for(lock, std::chrono::seconds(1), [this] { return !shared_->working; });
}

void FilePictureCache::SetMaker(Maker maker, const std::string& key) {
    if (key != key_) {
        kept_.clear();
        CancelWaiting();
    }
    key_ = key;
    maker_ = std::move(maker);
    std::lock_guard lock(shared_->mutex);
    shared_->maker = maker_;
}

FilePictureCache::Stamp FilePictureCache::StampOf(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) return {};
    return Stamp{info.lastModified().toMSecsSinceEpoch(), info.size()};
}

const FilePicture* FilePictureCache::Find(const QString& path) {
    if (!maker_) return nullptr;
    const Stamp stamp = StampOf(path);
    if (auto it = kept_.find(path); it != kept_.end() && it->stamp == stamp) return &it->picture;
    if (asked_.contains(path)) return nullptr;
    asked_.insert(path);
    {
        std::lock_guard lock(shared_->mutex);
        shared_->queue.push_back(Job{path, stamp, key_});
        if (!started_) {
            std::thread(Work, shared_).detach();
            started_ = true;
        }
    }
    shared_->wake.notify_one();
    return nullptr;
}

void FilePictureCache::CancelWaiting() {
    std::lock_guard lock(shared_->mutex);
    for (const Job& job : shared_->queue) asked_.remove(job.path);
    shared_->queue.clear();
}

void FilePictureCache::Work(std::shared_ptr<Shared> shared) {
    std::unique_lock lock(shared->mutex);
    for (;;) {
        shared->wake.wait(lock, [&] { return shared->stopping || !shared->queue.empty(); });
        if (shared->stopping) return;
        Job job = std::move(shared->queue.front());
        shared->queue.pop_front();
        Maker maker = shared->maker;
        shared->working = true;
        lock.unlock();
        FilePicture picture = maker ? maker(job.path.toStdString()) : FilePicture{};
        lock.lock();
        shared->working = false;
        shared->idle.notify_all();
        if (shared->stopping) return;
        // Delivered on the UI thread through the cache's receiver.
        shared->deliver(std::move(job), std::move(picture));
    }
}

void FilePictureCache::Store(const Job& job, FilePicture picture) {
    asked_.remove(job.path);
    ++made_;
    if (job.key != key_) return;  // made for a palette or board size no longer in use
    kept_.insert(job.path, Kept{job.stamp, std::move(picture)});
    if (ready_) ready_(job.path);
}

}  // namespace cellarium
