#include "platform/qt/file_pictures.h"

#include <QDateTime>
#include <QFileInfo>
#include <QMetaObject>
#include <utility>

namespace cellarium {

FilePictureCache::FilePictureCache(std::function<void(const QString&)> ready)
    : ready_(std::move(ready)) {}

FilePictureCache::~FilePictureCache() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
}

void FilePictureCache::SetMaker(Maker maker, const std::string& key) {
    if (key != key_) {
        kept_.clear();
        CancelWaiting();
    }
    key_ = key;
    maker_ = std::move(maker);
    std::lock_guard lock(mutex_);
    workerMaker_ = maker_;
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
        std::lock_guard lock(mutex_);
        queue_.push_back(Job{path, stamp, key_});
        if (!worker_.joinable()) worker_ = std::thread([this] { Work(); });
    }
    wake_.notify_one();
    return nullptr;
}

void FilePictureCache::CancelWaiting() {
    std::lock_guard lock(mutex_);
    for (const Job& job : queue_) asked_.remove(job.path);
    queue_.clear();
}

void FilePictureCache::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) return;
        Job job = std::move(queue_.front());
        queue_.pop_front();
        Maker maker = workerMaker_;
        lock.unlock();
        FilePicture picture = maker ? maker(job.path.toStdString()) : FilePicture{};
        lock.lock();
        if (stopping_) return;
        // Delivered on the UI thread; dropped with receiver_ if the cache
        // goes first.
        QMetaObject::invokeMethod(
            &receiver_,
            [this, job = std::move(job), picture = std::move(picture)]() mutable {
                Store(job, std::move(picture));
            },
            Qt::QueuedConnection);
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
