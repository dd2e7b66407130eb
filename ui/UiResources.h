#pragma once
// The compiled-in pictures (":/img/..." and ":/newPrefix/img/..."), drawn at
// build time by ui/tools/MakeIcons. A static library's resources must be
// registered by hand before the first use.

void initUiResources();
