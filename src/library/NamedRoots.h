#pragma once
// Named roots: a folder of reports the office gives a name ("joints-nas"),
// which each desk maps to the path it mounts it at (/mnt/joints on one,
// /media/share/joints on another). The index keeps paths relative to the
// root, so its joints mean the same on every desk. The mappings are this
// desk's own, in the settings file: [Library] Roots, one "NAME=FOLDER" a
// line (read where the settings are read: the window's thread).
//
// A named root keeps a fingerprint of what the indexer last found there:
// where (its host and folder, the share's source and the folder's place in
// it), and the SHA-256s of a few of its reports. A desk's folder is the
// root when it is the indexer's own, or the same place on the same share,
// or holds one of those reports; else the desk maps the name to the wrong
// place: it sees "wrong mapping", and neither indexes nor opens from it. A
// desk that maps no folder sees the root's joints as offline, never
// missing.

#include "library/LibraryStore.h"

#include <QHash>
#include <QString>
#include <atomic>
#include <vector>

struct RootMapping {
    QString name;
    QString folder;
};

// A name an office can give: letters, digits, ".", "-" and "_".
bool IsRootName(const QString& name);
std::vector<RootMapping> RootMappings();
// Maps `name` to `folder` on this desk (an empty folder: no longer).
void SetRootMapping(const QString& name, const QString& folder);

// What the index keeps of a named root's place: as text, and read back.
struct RootFingerprint {
    QString host;   // the indexer's
    QString folder; // its folder for the root
    QString source; // the share's source ("nas:/export"), when on a network file system
    QString inside; // the folder's place in that share
    std::vector<std::pair<QByteArray, QByteArray>> samples; // path inside, SHA-256
};
QString FingerprintText(const RootFingerprint& fingerprint);
RootFingerprint ParseFingerprint(const QString& text);
// How many reports a fingerprint samples.
constexpr int kFingerprintSamples = 5;

// The fingerprint of a folder that holds `samples` (the mount read here).
RootFingerprint FingerprintOf(const QString& folder,
                              std::vector<std::pair<QByteArray, QByteArray>> samples);

// Whether `folder`, this desk's for `root`, holds it: it answers within
// `deadlineMs` and, when the root has a fingerprint, at least one of its
// sampled reports is there with its SHA-256. Reads files: never on the
// window's thread.
DeskRoot CheckMapping(const LibraryRoot& root, const QString& folder, int deadlineMs,
                      const std::atomic<bool>* cancel = nullptr);
// Every named root of `roots` as this desk reaches it with `mappings`.
QHash<qint64, DeskRoot> DeskRootsOf(const std::vector<LibraryRoot>& roots,
                                    const std::vector<RootMapping>& mappings, int deadlineMs,
                                    const std::atomic<bool>* cancel = nullptr);

// The path of the file `rel` below `base` as this desk spells it: `rel`
// itself, or where that is not there, the names that are the same text in
// NFC (a desk whose mount gives names in another Unicode form).
QByteArray ResolveOnDesk(const QByteArray& base, const QByteArray& rel);
