#pragma once

#include <string_view>

// Which mounts count as volumes a user wants to see, whether this machine's mount table names
// them or another machine's node_exporter does: both lists follow these rules.

// Whether `path` is `top` or lies below it ("/run/media" is below "/run", "/runner" is not).
bool IsBelow(std::string_view path, std::string_view top);

// Pseudo and system filesystems, and the desktop's and container helpers' FUSE mirrors of
// other places: none of them holds data of its own.
bool IsPseudoType(std::string_view fsType);

// /proc, /sys, /dev and /run and everything below them, but removable media below /run/media.
bool IsSystemPlace(std::string_view mountPoint);

// Container layers, whatever is mounted below the container engines' folders and the
// engines' per-container shm, wherever their data lives. `source` is what was mounted: the
// device, the export or the name a pseudo filesystem was given ("shm").
bool IsContainerMount(std::string_view fsType, std::string_view mountPoint,
                      std::string_view source);

// Network and FUSE filesystems: they can stop answering.
bool IsRemoteType(std::string_view fsType);

// A mount that is no volume by the rules above: pseudo, system place or container.
bool IsLeftOut(std::string_view fsType, std::string_view mountPoint, std::string_view source);
