#pragma once
// The private folder of the running test process (also its HOME and TMPDIR).

#include <QString>

namespace TestEnv {

// Absolute path of the test's own temporary folder; it is removed when the
// test process ends.
QString tempDir();

// tempDir() + "/" + name.
QString tempPath(const QString& name);

}  // namespace TestEnv
