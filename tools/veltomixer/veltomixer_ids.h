/* The mixer window's class and the ids of its controls: what a test driver
   or an accessibility tool finds the controls by. Plain C, so that any host
   can include it. */
#ifndef VELTOMIXER_IDS_H
#define VELTOMIXER_IDS_H

#define VELTOMIXER_CLASS L"VeltoMixerWindow"

enum {
  kIdPlaybackList = 100,
  kIdMicList = 101,
  kIdLineList = 102,
  kIdVirtualList = 103,
  kIdBind = 110,
  kIdRestore = 111,
  kIdStatus = 120,
  /* A column's windows: kIdColumnBase + column * kIdColumnStride + part. */
  kIdColumnBase = 1000,
  kIdColumnStride = 10
};

enum { kPartTitle, kPartSlider, kPartValue, kPartCheck, kPartReason };

/* In the order the window shows them, left to right. */
enum {
  kColMaster,
  kColLineMonitor,
  kColMicMonitor,
  kColLineRecord,
  kColMicRecord,
  kColMicBoost,
  kColLineAgc,
  kColBass,
  kColTreble,
  kColMidrange,
  kColVirtual,
  kColumnCount
};

#define VELTOMIXER_ID(column, part) (kIdColumnBase + (column)*kIdColumnStride + (part))

#endif
