#pragma once
// The report viewer's door: the program that shows reports listens on one
// socket of the user's, so that another program (the library) can hand it
// the next report instead of starting one more program. A Unix socket in
// the user's runtime folder, reachable by this user only.
//
// Said over it: the caller writes "open " and the report's path (its bytes,
// percent-encoded) and a line feed; the viewer answers "opened" when it
// takes the report, "busy" when it cannot now, and closes.

#include <QByteArray>
#include <QString>

// $VTQ_VIEWER_SOCKET, else "kelvorn-vtq-ppc-viewer" in $XDG_RUNTIME_DIR, else
// in a folder of this user's own under /tmp.
QString ViewerSocketPath();

// Listens at `path`: the listening descriptor (non-blocking), or -1 when
// another viewer listens there already or the socket cannot be made. A
// socket left behind by a viewer that ended is taken over.
int ListenAsViewer(const QString& path);

// The longest request line a viewer reads.
constexpr int kViewerRequestLimit = 16384;

// The request for `reportPath`, and its path back from a request line
// (empty when the line is no request).
QByteArray ViewerRequest(const QByteArray& reportPath);
QByteArray ViewerRequestPath(const QByteArray& line);

// Whether the peer of a connected socket runs as this user.
bool PeerIsThisUser(int fd);

enum class ViewerAnswer { Opened, Busy, NoViewer };
// Hands `reportPath` to the viewer listening at `socketPath`, waiting at
// most `ms` in all. Blocks: never on a window's thread.
ViewerAnswer HandToViewer(const QString& socketPath, const QByteArray& reportPath, int ms);
