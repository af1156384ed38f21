// One running copy per user session. Two copies on the same data would fight over
// images.idx and the wallpaper, so a second launch hands its wish to the first and ends.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace tavrino {

class SingleInstance : public QObject {
    Q_OBJECT

public:
    // folder: where the lock file and the socket live (the per-user runtime folder).
    explicit SingleInstance(const QString& folder = DefaultFolder(), QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is now the one instance and listens for requests.
    bool BecomePrimary();

    // Sends a request ("show", "next") to the running instance. True when it answered.
    [[nodiscard]] bool Send(const QString& request, int timeoutMs = 3000) const;

    // Called in the primary instance for every request received; returns the answer.
    std::function<QString(const QString& request)> onRequest;

    [[nodiscard]] static QString DefaultFolder();

private:
    void Accept();

    QString socketPath_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
};

}  // namespace tavrino
