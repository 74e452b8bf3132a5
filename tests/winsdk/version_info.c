/* version_info.c: prints a binary's version resource as Windows reads it
   (GetFileVersionInfo, VerQueryValue), one "Key=value" line each. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

static const char* const kStrings[] = {"FileVersion",     "ProductVersion",   "ProductName",
                                       "FileDescription", "OriginalFilename", "LegalCopyright"};

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  DWORD size = GetFileVersionInfoSizeA(argv[1], NULL);
  void* info = size ? malloc(size) : NULL;
  if (info == NULL || !GetFileVersionInfoA(argv[1], 0, size, info)) {
    printf("no version resource in %s (error %lu)\n", argv[1], (unsigned long)GetLastError());
    return 1;
  }
  VS_FIXEDFILEINFO* fixed = NULL;
  WORD* translation = NULL;
  UINT length = 0;
  if (!VerQueryValueA(info, "\\", (void**)&fixed, &length) ||
      !VerQueryValueA(info, "\\VarFileInfo\\Translation", (void**)&translation, &length))
    return 1;
  printf("Fixed=%lu.%lu.%lu.%lu\n", fixed->dwFileVersionMS >> 16, fixed->dwFileVersionMS & 0xFFFF,
         fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xFFFF);
  printf("FixedProduct=%lu.%lu.%lu.%lu\n", fixed->dwProductVersionMS >> 16,
         fixed->dwProductVersionMS & 0xFFFF, fixed->dwProductVersionLS >> 16,
         fixed->dwProductVersionLS & 0xFFFF);
  for (size_t i = 0; i < sizeof kStrings / sizeof kStrings[0]; ++i) {
    char path[128];
    char* value = NULL;
    snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", translation[0], translation[1],
             kStrings[i]);
    if (VerQueryValueA(info, path, (void**)&value, &length)) printf("%s=%s\n", kStrings[i], value);
  }
  free(info);
  return 0;
}
