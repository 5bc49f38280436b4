// Diskwarn.dll's nine exports: plain C, undecorated (Diskwarn.def), __cdecl in both builds.
// Every export answers 1 on success and 0 on failure; out-parameters are 32-bit.
#pragma once
#include <windows.h>
#include <stdint.h>

#define DISKWARN_CALL __cdecl

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t(DISKWARN_CALL* Diskwarn_CheckTargetHddFn)(int32_t* isTarget, int32_t* noExcludedDevice);
typedef int32_t(DISKWARN_CALL* Diskwarn_GetServiceStateFn)(int32_t* currentState, int32_t* startType);
typedef int32_t(DISKWARN_CALL* Diskwarn_StartSysglanceServiceFn)(HWND owner);
typedef int32_t(DISKWARN_CALL* Diskwarn_CheckHddMotorStopFn)(const wchar_t* devicePath, int32_t* spinning);
typedef int32_t(DISKWARN_CALL* Diskwarn_GetHddFileNameFn)(wchar_t* buffer, int32_t capacity);
typedef int32_t(DISKWARN_CALL* Diskwarn_GetDefaultHibernateTimeFn)(uint32_t* ac, uint32_t* dc);
typedef int32_t(DISKWARN_CALL* Diskwarn_GetSupportInfoFn)(int32_t* supportFlags);
typedef int32_t(DISKWARN_CALL* Diskwarn_CheckDiskwarnicationFn)(int32_t modelClass, int32_t wantedEvents,
                                                               int32_t* foundEvents);

int32_t DISKWARN_CALL Diskwarn_CheckTargetHdd(int32_t* isTarget, int32_t* noExcludedDevice);
int32_t DISKWARN_CALL Diskwarn_GetSysglancePipeServiceState(int32_t* currentState, int32_t* startType);
int32_t DISKWARN_CALL Diskwarn_GetSysglanceServiceState(int32_t* currentState, int32_t* startType);
int32_t DISKWARN_CALL Diskwarn_StartSysglanceService(HWND owner);
int32_t DISKWARN_CALL Diskwarn_CheckHddMotorStop(const wchar_t* devicePath, int32_t* spinning);
int32_t DISKWARN_CALL Diskwarn_GetHddFileName(wchar_t* buffer, int32_t capacity);
int32_t DISKWARN_CALL Diskwarn_GetDefaultHibernateTime(uint32_t* ac, uint32_t* dc);
int32_t DISKWARN_CALL Diskwarn_GetSupportInfo(int32_t* supportFlags);
int32_t DISKWARN_CALL Diskwarn_CheckDiskwarnication(int32_t modelClass, int32_t wantedEvents, int32_t* foundEvents);

#ifdef __cplusplus
}
#endif

// The viewer's outside names.
#define DISKWARN_VIEWER_KEY L"Software\\Velmorant\\Sysglance"
#define DISKWARN_DATA_SERVICE L"SysglanceSV"
#define DISKWARN_PIPE_SERVICE L"SysglancePi"
#define DISKWARN_PIPE_NAME L"\\\\.\\pipe\\VelmorantSysglancePipeSVName"
