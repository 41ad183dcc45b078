#pragma once
// Installing a companion program on demand: its setup is downloaded from the
// maker's FTP servers (the second one when the first fails; never after a
// cancel), checked against a checksum list signed with the maker's Ed25519
// key, run hidden, and deleted. Nothing that failed a check is ever run.
//
// On the server, folder "components" holds the setup, "checksums.txt" with
// lines "<sha256 hex> <size> <name>", and "checksums.txt.sig", the 64-byte
// signature of checksums.txt.
#include <string>

#include "framework/lprogress.h"

// The servers: machine settings "DownloadServer1" and "DownloadServer2"
// ("host:port") override the built-in ones.
std::string CompanionDownloadServer(int index);
// Tests sign with their own key: 32 raw bytes; "" restores the built-in key.
void CompanionSetSigningKeyForTests(const std::string& publicKey);
// Tests shorten the time-out for a server that does not answer (0: the usual one).
void CompanionSetTimeoutForTests(long milliseconds);

// 0 downloaded and verified into localPath, 1 cancelled, 2 failed; a file is
// left at localPath only on 0.
int ProcessDownloadComponent(LCopyProgress& progress, const std::string& server, const std::string& setupName,
                             const std::string& localPath);
// Downloads, verifies, runs and deletes the setup: 0 installed, 1 cancelled, 2 failed.
int ProcessInstallProgram(LCopyProgress& progress, const std::string& setupName);
