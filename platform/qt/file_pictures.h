// The file list's pictures: made one file at a time on a worker thread so the
// list opens at once, and kept by path and modification time.
#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "framework/platform_services.h"

namespace cellarium {

class FilePictureCache {
public:
    using Maker = std::function<FilePicture(const std::string&)>;
    // ready is called on the UI thread each time a picture has been made.
    explicit FilePictureCache(std::function<void(const QString& path)> ready);
    ~FilePictureCache();  // stops the worker and waits for it
    FilePictureCache(const FilePictureCache&) = delete;
    FilePictureCache& operator=(const FilePictureCache&) = delete;

    // The maker to use and what its pictures depend on; a different key
    // forgets every picture kept.
    void SetMaker(Maker maker, const std::string& key);
    bool HasMaker() const { return static_cast<bool>(maker_); }
    // The picture of path if one is kept for the file as it is now; else
    // null, and the picture is asked for (ready follows once it is made).
    const FilePicture* Find(const QString& path);
    // Forgets the files asked for and not yet started.
    void CancelWaiting();
    // How many pictures the worker has made so far.
    int Made() const { return made_; }

private:
    struct Stamp {
        qint64 modified = -1;  // ms since the epoch
        qint64 size = -1;
        friend bool operator==(const Stamp&, const Stamp&) = default;
    };
    struct Job {
        QString path;
        Stamp stamp;
        std::string key;
    };
    struct Kept {
        Stamp stamp;
        FilePicture picture;
    };
    // What the worker shares with the cache. The worker holds it too, so a
    // worker still reading a file (a pipe put in a pattern's place, say) when
    // the cache goes can be left to finish by itself: it then posts nothing.
    struct Shared {
        std::mutex mutex;
        std::condition_variable wake;
        std::condition_variable idle;
        std::deque<Job> queue;
        Maker maker;  // the maker the queued jobs use
        bool stopping = false;
        bool working = false;  // a job is being made
        // Hands a finished picture to the UI thread (under mutex, while not
        // stopping).
        std::function<void(Job, FilePicture)> deliver;
    };
    static Stamp StampOf(const QString& path);
    static void Work(std::shared_ptr<Shared> shared);
    void Store(const Job& job, FilePicture picture);

    std::function<void(const QString&)> ready_;
    Maker maker_;
    std::string key_;
    QHash<QString, Kept> kept_;
    QSet<QString> asked_;  // queued or being made
    int made_ = 0;

    QObject receiver_;  // results are delivered through its event queue
    std::shared_ptr<Shared> shared_;
    bool started_ = false;
};

}  // namespace cellarium
