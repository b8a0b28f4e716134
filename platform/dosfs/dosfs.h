// The drive-letter file system.
//
// A machine root directory holds the simulated machine: the drive table
// (file "drives"), the registry hive and Program Manager's groups. The root is
// named by the environment variable KELVORA_MACHINE; without it, it is
// $HOME/.kelvora/machine.
//
// The drive table has one drive per line:   <letter>: <kind> <host-dir> [label]
//   kind      removable | fixed | network | cdrom | ramdisk
//   host-dir  the drive's root on the host, absolute or relative to the
//             machine root; it holds no blanks
//   label     the rest of the line: the volume label, or for a network drive
//             the remote name (\\server\share); may be empty
// Lines starting with '#' and blank lines are ignored.
//
// DOS paths use '\' (a '/' is accepted as well) and come in four forms:
// absolute (C:\APP), drive-relative (C:APP, from C's current directory),
// root-relative (\APP, on the current drive) and relative (APP). Each
// component is looked up exactly first, then without regard to ASCII case;
// when several host names match without regard to case, the first in byte
// order wins. ".." never climbs above the drive's root.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dosfs {

enum class DriveKind { Removable, Fixed, Network, CdRom, RamDisk };

struct Drive {
  char letter = 0;        // upper case
  DriveKind kind = DriveKind::Fixed;
  std::string hostDir;    // absolute host path of the drive's root
  std::string label;      // volume label, or the remote name of a network drive
};

// The machine root in use.
std::string MachineRoot();
// The machine root named by the environment (KELVORA_MACHINE), or the default.
std::string DefaultMachineRoot();

// Makes `root` the machine root and reloads everything from it: the drive
// table, and the current directory taken from the host's working directory.
// Called once lazily with MachineRoot(); tests call it with their own root.
void UseMachine(const std::string& root);

// The drives of the table, in letter order.
const std::vector<Drive>& Drives();
const Drive* FindDrive(char letter);  // nullptr when the letter is not in the table

// Current directory of the current drive, as the system reports it: a root
// with its backslash (A:\), any other directory without one (C:\SETUP\DISK1).
std::string GetCurrentDir();

// Changes the current directory. "c:" makes C the current drive at the
// directory remembered for it. Raises EInOutError (15: invalid drive, 3: path
// not found) on failure.
void ChDir(std::string_view path);

// The host path a DOS path names, or nothing when its drive is not in the
// table. Components that do not exist are kept as written.
std::optional<std::string> HostPath(std::string_view dosPath);

// True for an existing file; a directory does not count.
bool FileExists(std::string_view dosPath);
// True for an existing directory (a drive's root counts when its host
// directory exists).
bool DirectoryExists(std::string_view dosPath);
// Creates one directory whose parent exists. False on any failure.
bool CreateDir(std::string_view dosPath);

// Free bytes on the drive, or -1 when the drive cannot be queried (not in the
// table, or its host directory is missing: no medium).
int64_t DiskFree(char letter);

// True when the drive's medium can be read (its host directory exists).
bool DriveReady(char letter);

}  // namespace dosfs
