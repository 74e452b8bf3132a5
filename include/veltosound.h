/*
 * VeltoSound: a flat, C-callable sound-card mixer.
 *
 * Every export uses the Windows standard calling convention (the callee pops
 * its arguments) and is exported undecorated at a fixed ordinal (see
 * VeltoSound.def). Control getters and setters report a status through their
 * `status` pointer:
 *   0  success
 *   1  the bound device has no such control (or no virtual endpoint is bound)
 *   2  the platform call failed
 *   3  no device is bound
 * Narrow character out-buffers must hold at least 255 bytes. Any pointer may
 * be null: a null out-pointer is simply not written, a null search text is
 * taken as the empty text.
 */
#ifndef VELTOSOUND_H
#define VELTOSOUND_H

#ifdef _WIN32
#  define VELTO_CALL __stdcall
#  if defined(VELTOSOUND_BUILDING)
/* The .def file exports the undecorated names; dllexport here would add a
   second, decorated Name@N entry, so the build leaves it out. */
#    define VELTO_API
#  elif defined(VELTOSOUND_STATIC)
#    define VELTO_API
#  else
#    define VELTO_API __declspec(dllimport)
#  endif
#else
#  define VELTO_CALL
#  if defined(VELTOSOUND_BUILDING)
#    define VELTO_API __attribute__((visibility("default")))
#  else
#    define VELTO_API
#  endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Binding */
VELTO_API int VELTO_CALL OpenSoundCard(const char* playback, const char* mic, const char* line); /* 5 */
VELTO_API int VELTO_CALL CloseSoundCard(int restore);                                            /* 6 */
VELTO_API int VELTO_CALL OpenDefaultDevices(void);                                               /* 30 */
VELTO_API int VELTO_CALL OpenVirtual_1(const char* search);                                      /* 36 */
VELTO_API int VELTO_CALL CloseVirtual_1(void);                                                   /* 37 */

/* Enumeration and names */
VELTO_API void VELTO_CALL GetDeviceNames(char* playback, char* line, char* mic);                 /* 31 */
VELTO_API int VELTO_CALL GetNumberPlayDevices(int* count);                                       /* 32 */
VELTO_API int VELTO_CALL GetNumberRecordDevices(int* count);                                     /* 33 */
VELTO_API int VELTO_CALL GetPlayBackDevice(unsigned int index, char* name, char* id);            /* 34 */
VELTO_API int VELTO_CALL GetRecordDevice(unsigned int index, char* name, char* id);              /* 35 */

/* Volumes in percent */
VELTO_API int VELTO_CALL GetMasterVolume(int* status);                                           /* 1 */
VELTO_API int VELTO_CALL SetMasterVolume(int percent, int* status);                              /* 2 */
VELTO_API int VELTO_CALL SetLinePlayBack(int percent, int* status);                              /* 7 */
VELTO_API int VELTO_CALL SetMicPlayBack(int percent, int* status);                               /* 10 */
VELTO_API int VELTO_CALL GetLinePlayBack(int* status);                                           /* 17 */
VELTO_API int VELTO_CALL GetMicPlayBack(int* status);                                            /* 18 */
VELTO_API int VELTO_CALL GetMicRecordVolume(int* status);                                        /* 26 */
VELTO_API int VELTO_CALL SetMicRecordVolume(int percent, int* status);                           /* 27 */
VELTO_API int VELTO_CALL GetLineRecordVolume(int* status);                                       /* 28 */
VELTO_API int VELTO_CALL SetLineRecordVolume(int percent, int* status);                          /* 29 */
VELTO_API int VELTO_CALL GetVirtualVolume(int* status);                                          /* 38 */
VELTO_API int VELTO_CALL SetVirtualVolume(int percent, int* status);                             /* 39 */

/* Mutes and switches: 0 off, anything else on */
VELTO_API int VELTO_CALL GetMasterMute(int* status);                                             /* 3 */
VELTO_API int VELTO_CALL SetMasterMute(int state, int* status); /* low byte only */              /* 4 */
VELTO_API int VELTO_CALL SetLinePlayBackMute(int state, int* status);                            /* 8 */
VELTO_API int VELTO_CALL GetLinePlayBackMute(int* status);                                       /* 9 */
VELTO_API int VELTO_CALL SetMicPlayBackMute(int state, int* status);                             /* 11 */
VELTO_API int VELTO_CALL GetMicPlayBackMute(int* status);                                        /* 12 */
VELTO_API int VELTO_CALL SetMicBoost(int state, int* status);                                    /* 13 */
VELTO_API int VELTO_CALL GetMicBoost(int* status);                                               /* 14 */
VELTO_API int VELTO_CALL GetNoMonitor(int* status);                                              /* 15 */
VELTO_API int VELTO_CALL SetNoMonitor(int state, int* status);                                   /* 16 */
VELTO_API int VELTO_CALL SetVirtualMute(int state, int* status);                                 /* 40 */
VELTO_API int VELTO_CALL GetVirtualMute(int* status);                                            /* 41 */

/* Tone controls, in decibels */
VELTO_API int VELTO_CALL GetEQRange(double* min, double* max, double* step); /* returns the status */ /* 19 */
VELTO_API int VELTO_CALL SetBass(double level, int* status);                                     /* 20 */
VELTO_API int VELTO_CALL GetBass(double* level, int* status);                                    /* 21 */
VELTO_API int VELTO_CALL SetTreble(double level, int* status);                                   /* 22 */
VELTO_API int VELTO_CALL GetTreble(double* level, int* status);                                  /* 23 */
VELTO_API int VELTO_CALL SetMidRange(double level, int* status);                                 /* 24 */
VELTO_API int VELTO_CALL GetMidRange(double* level, int* status);                                /* 25 */

/* Microphone boost slider, in whole decibels */
VELTO_API int VELTO_CALL GetMicSliderBoost(int* status);                                         /* 42 */
VELTO_API int VELTO_CALL GetMicSliderDetails(int* status, int* min, int* max, int* step);         /* 43 */
VELTO_API int VELTO_CALL SetMicSliderBoost(int level, int* status);                              /* 44 */

#ifdef __cplusplus
}
#endif

#endif /* VELTOSOUND_H */
