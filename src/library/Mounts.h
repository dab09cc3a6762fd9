#pragma once
// What the system says about the file systems a folder lies on: the mount
// that holds it, its type, and the volume's identity. A card is known by
// its file system's UUID (udev's /dev/disk/by-uuid, else libblkid on the
// mount source where it can be read): every handheld's card carries the
// same label and mounts at the same place, and statfs' f_fsid is no
// identity on FAT (it is the card reader's device number).

#include <QString>
#include <functional>
#include <sys/types.h>
#include <vector>

struct MountFacts {
    QString mountPoint; // empty when no mount was found
    QString fsType;     // "vfat", "nfs4", "fuse.sshfs", ...
    QString source;     // "/dev/sdb1", "server:/export"
    QString uuid;       // empty when none can be read
    QString label;
    dev_t device = 0; // 0 in a test's table: any device
};

// The mount that holds `path` (absolute, clean), whose file system has the
// device number `device` (st_dev): of the mounts of that device, the one
// with the longest mount point above the path. Its volume's UUID and label
// are looked up only when asked (`identify`), and never for the system's
// own file system ("/"), which is no card.
MountFacts MountOf(const QString& path, dev_t device, bool identify = true);

// Every mount of the system (or the test's table), without identities.
std::vector<MountFacts> CurrentMounts();

// Where the volume with this UUID is mounted now (mount points).
std::vector<MountFacts> MountsOfVolume(const QString& uuid);

// Network file systems, where a database is not safe to share and a
// folder may stop answering; a fuse block device (fuseblk) is local.
bool IsNetworkFileSystem(const QString& fsType);

// Tests stand in for the system's table of mounts (and volumes' UUIDs);
// an empty table goes back to the system's.
void SetMountTableForTests(std::vector<MountFacts> mounts);
