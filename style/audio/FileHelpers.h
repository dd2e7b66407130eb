#pragma once
// Paths and whole-file operations of the audio style data: unique temporary
// file names, size, removal, copy, whole-file read/write/append, the
// application's temporary working folders and resource paths.
//
// Every std::string path is UTF-8, both when handed to Qt and when opened
// through the standard library, so folders with non-ASCII names work.

#include <QString>
#include <QVariant>

#include <cstdint>
#include <string>

#include "ResultCode.h"

// The system temporary folder + "/" + a random UUID's text + the suffix.
// Two calls give different names; the file is not created. 1 null pointer.
ResultCode MakeUniqueTempFilePath(const std::string* suffix, std::string* path);

// Size in bytes; 0 when the file does not exist.
std::uint64_t GetFileSize(const std::string& path);

// Removes the file. 1 empty path; 2 the file is still there afterwards (it
// could not be removed, or the path is a folder). A path that does not
// exist is removed already: 0.
ResultCode RemoveFile(const std::string& path);

// Copies the source's bytes to a created or truncated destination; an empty
// source gives 0 and no destination. 1 an empty path; 2 an exception;
// 3 the source cannot be opened; 4 the destination cannot be created;
// 5 fewer bytes read or written than the source holds.
ResultCode CopyFile(const std::string& destination, const std::string& source);

// Read n bytes from the start of the file / create or truncate it and write
// n bytes / append n bytes. 1 empty path, null buffer or n = 0; 2 an
// exception; 3 the file cannot be opened; 4 fewer than n bytes transferred.
ResultCode ReadWholeFile(const std::string& path, std::uint8_t* buffer, std::uint64_t n);
ResultCode WriteWholeFile(const std::string& path, const std::uint8_t* buffer, std::uint64_t n);
ResultCode AppendWholeFile(const std::string& path, const std::uint8_t* buffer, std::uint64_t n);

// The system temporary folder + "/BrevanA.Audition" (".Convert"); nothing
// for a null pointer.
void GetAuditionTempDir(QString* out);
void GetConvertTempDir(QString* out);
// The application's folder (trailing separators removed) +
// "/../Resources/new.prj" ("Init.sty").
void GetNewProjectPath(QString* out);
void GetInitStylePath(QString* out);
// folder = the application's folder + "/../Resources/Help"; file = "/" +
// the help document's name. Nothing when either pointer is null.
void GetHelpPaths(QString* folder, QString* file);

// The first of folder + "/temp" + n + suffix (n = 1 .. 99999) that does not
// exist; `out` is left unchanged when all exist.
void MakeUnusedNumberedPath(const QVariant& folder, const std::string& suffix, QVariant* out);

// Setting a file's type and creator codes is a Finder matter; files on this
// platform have no such codes, so there is nothing to do.
void SetFinderTypeCreator(const std::string& path, std::uint32_t type, std::uint32_t creator);
