/*
 * qanagui/protocol.h — the host interface of the QANAGUI analyzer module.
 *
 * Everything a host needs to load the module and drive it, in one C header: the one exported
 * function, its command and status codes, the rules for the buffers that travel through it, the
 * layout of the descriptor image, the per-instance entry points and the host callback. It needs only
 * <stdint.h> and compiles as C99 and as C++.
 *
 * The module is a 32-bit library: an i386 ELF shared object on Linux (qanagui.so), a 32-bit DLL on
 * Windows (qanagui.dll); the export is a plain C function, undecorated, with the compiler's default C
 * calling convention on both. All words are 32-bit little-endian values; handles,
 * pointers and entry-point addresses travel as 32-bit words.
 *
 * Threads named in this header:
 *   [main-thread]  the host thread that creates the first instance; it runs the platform message loop
 *                  that carries the analyzer windows' events, repaints and deferred updates.
 *   [audio-thread] the host thread that drives an instance block by block (processControl and
 *                  processAudio).
 *   [any-thread]   whichever thread the host chooses.
 *
 * Lifecycle, per instance (the module relies on this order):
 *   1. Load the library (dlopen or LoadLibraryA) and look up QANAGUI_EXPORT_NAME (dlsym or
 *      GetProcAddress). Loading runs no module code of its own: the
 *      instance table is empty, the module sample rate is 44100 Hz, no callback is installed.
 *   2. Optionally install a host callback (QANAGUI_CMD_SET_HOST_CALLBACK); read the descriptor image
 *      (QANAGUI_CMD_GET_DESCRIPTOR).
 *   3. Create an instance (QANAGUI_CMD_CREATE_INSTANCE) and keep its handle. The first instance starts
 *      the GUI toolkit on the calling thread, which from then on is the [main-thread].
 *   4. Fetch the entry points (QANAGUI_CMD_GET_ENTRY_POINTS); optionally pass the sample rate
 *      (QANAGUI_CMD_SET_SAMPLE_RATE).
 *   5. Per processing block: processControl, then processAudio [audio-thread]. Audio is analysed only
 *      after an instance's 30th control call.
 *   6. Destroy the instance (QANAGUI_CMD_DESTROY_INSTANCE) on the [main-thread]; its window closes.
 *      After the last instance is destroyed the toolkit stops; a later creation starts it again.
 *   No entry point of an instance may be running or called again once its destroy command starts.
 */
#ifndef QANAGUI_PROTOCOL_H
#define QANAGUI_PROTOCOL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Every function of this interface, the module's and the host's callback alike, uses the C calling
 * convention (cdecl). It is spelled out, as other plug-in ABIs do, so that a host compiled with another
 * default (MSVC's /Gz makes stdcall the default, for instance) still calls the module correctly. */
#if defined(_WIN32) && !defined(_WIN64)
#define QANAGUI_ABI __cdecl
#elif defined(__i386__) && defined(__GNUC__)
#define QANAGUI_ABI __attribute__((cdecl))
#else
#define QANAGUI_ABI
#endif

/* The module's functions never throw: C++ hosts see them declared noexcept. */
#ifdef __cplusplus
#define QANAGUI_NOTHROW noexcept
#else
#define QANAGUI_NOTHROW
#endif

/* Compile-time checks that work in C99 and C++ alike: a negative array size fails the build. */
#define QANAGUI_PROTOCOL_CHECK(name, condition) typedef char qanagui_check_##name[(condition) ? 1 : -1]

/* ============================================================================================== */
/* The export                                                                                      */
/* ============================================================================================== */

/* The one symbol the library exports. */
#define QANAGUI_EXPORT_NAME "DARAZE_W32_DeviceIOControl"

/*
 * DARAZE_W32_DeviceIOControl — runs one command.                                   [main-thread]
 *
 *   command        one of the QANAGUI_CMD_* codes; any other code is ignored: nothing is written and
 *                  bytesReturned is 0.
 *   inBuffer       the command's input words (see the command table), or null for a command without
 *                  input. Owned by the host; read during the call only.
 *   inSize         size of inBuffer in bytes.
 *   outBuffer      where the module writes the status word and the command's output. Owned by the
 *                  host; written during the call only; need not be aligned. Must hold at least
 *                  QANAGUI_MIN_OUT_SIZE (4) bytes for every command, whatever outSize says: a status is
 *                  written into the first word even when outSize is smaller than the command needs.
 *                  With a null outBuffer the module does nothing.
 *   outSize        size of outBuffer in bytes.
 *   bytesReturned  receives the number of bytes the command reports as returned (see the table; it is
 *                  not always the number of bytes written). Set to 0 before the command runs. May be
 *                  null.
 *
 * Returns 0. Success and failure are reported only by the status word in outBuffer. Never throws: a
 * command that fails inside the module for a reason of its own reports QANAGUI_STATUS_TABLE_FULL.
 *
 * A negative inSize or outSize fails the size test of every command, as a size too small does:
 * QANAGUI_STATUS_BAD_SIZE in the first output word and nothing else written.
 *
 * Commands are not reentrant and no lock guards the module-wide state (instance table, sample rate,
 * callback): issue them from one thread, the [main-thread] (commands 1025 and 1026 must come from it).
 */
typedef int32_t(QANAGUI_ABI* QanaguiDeviceIoControlFn)(int32_t command, const void* inBuffer, int32_t inSize,
                                                       void* outBuffer, int32_t outSize, int32_t* bytesReturned);

int32_t QANAGUI_ABI DARAZE_W32_DeviceIOControl(int32_t command, const void* inBuffer, int32_t inSize, void* outBuffer,
                                               int32_t outSize, int32_t* bytesReturned) QANAGUI_NOTHROW;

/* ============================================================================================== */
/* Commands                                                                                        */
/* ============================================================================================== */

/*
 * code  command                  in   out  input words            output words               bytes returned
 * 1024  GET_DESCRIPTOR            -   56   none                   0: status, then the image   end of the image
 * 1025  CREATE_INSTANCE           -    8   none                   0: status, 1: handle        0
 * 1026  DESTROY_INSTANCE          4    4   0: handle              0: status                   0
 * 1027  GET_ENTRY_POINTS          -   24   none                   0: status, 1-5: entries     24
 * 1028  SET_SAMPLE_RATE           8    4   0: handle, 1: rate Hz  nothing                     0
 * 1029  NOTIFY_INSTANCE           8    4   0: handle, 1: value    nothing                     0
 * 1030  SET_HOST_CALLBACK         4    4   0: callback address    0: status                   0
 *
 * "in" and "out" are the least inSize and outSize in bytes. A command whose size test fails writes
 * QANAGUI_STATUS_BAD_SIZE into the first output word and does nothing else; so does a command that
 * needs input when inBuffer is null. GET_DESCRIPTOR is the exception: below 56 bytes it reports
 * QANAGUI_STATUS_BUFFER_TOO_SMALL (see "Descriptor image").
 *
 * GET_DESCRIPTOR    copies the descriptor image into outBuffer (status 0, or -4 when a piece did not
 *                   fit). A complete image needs outSize >= QANAGUI_DESCRIPTOR_BUFFER_SIZE.
 * CREATE_INSTANCE   takes the lowest free of the QANAGUI_MAX_INSTANCES slots and creates an analyzer
 *                   instance with its window there. Status 0 and the handle (the instance's address as
 *                   a 32-bit word), or QANAGUI_STATUS_TABLE_FULL when no slot is free or the instance
 *                   could not be built. Writes 8 bytes but reports 0.
 * DESTROY_INSTANCE  destroys the instance in the first slot equal to the handle and frees the slot;
 *                   QANAGUI_STATUS_NO_SUCH_HANDLE when no slot matches. A handle of 0 matches a free
 *                   slot: status 0, nothing is destroyed.
 * GET_ENTRY_POINTS  status 0, then the five entry-point addresses (QanaguiEntryPoints). They are the
 *                   same for every instance and for the life of the library.
 * SET_SAMPLE_RATE   stores the rate as the module sample rate, shared by all instances; then, when the
 *                   handle is not 0 and names a live instance, tells that instance. Writes nothing on
 *                   success, not even a status.
 * NOTIFY_INSTANCE   when the handle is not 0 and names a live instance, passes the value to it (this
 *                   analyzer ignores it). Writes nothing on success.
 * SET_HOST_CALLBACK stores the callback (a QanaguiHostCallback address, 0 removes it); status 0.
 */
enum QanaguiCommand {
    QANAGUI_CMD_GET_DESCRIPTOR = 1024,
    QANAGUI_CMD_CREATE_INSTANCE = 1025,
    QANAGUI_CMD_DESTROY_INSTANCE = 1026,
    QANAGUI_CMD_GET_ENTRY_POINTS = 1027,
    QANAGUI_CMD_SET_SAMPLE_RATE = 1028,
    QANAGUI_CMD_NOTIFY_INSTANCE = 1029,
    QANAGUI_CMD_SET_HOST_CALLBACK = 1030
};

/* Buffer sizes in bytes: the least sizes of the command table. */
enum QanaguiBufferSize {
    QANAGUI_MIN_OUT_SIZE = 4, /* every command: the status word */
    QANAGUI_GET_DESCRIPTOR_MIN_OUT = 56, /* the image header; see QANAGUI_DESCRIPTOR_BUFFER_SIZE */
    QANAGUI_CREATE_INSTANCE_MIN_OUT = 8,
    QANAGUI_DESTROY_INSTANCE_MIN_IN = 4,
    QANAGUI_DESTROY_INSTANCE_MIN_OUT = 4,
    QANAGUI_GET_ENTRY_POINTS_MIN_OUT = 24,
    QANAGUI_GET_ENTRY_POINTS_RETURNED = 24,
    QANAGUI_SET_SAMPLE_RATE_MIN_IN = 8,
    QANAGUI_SET_SAMPLE_RATE_MIN_OUT = 4,
    QANAGUI_NOTIFY_INSTANCE_MIN_IN = 8,
    QANAGUI_NOTIFY_INSTANCE_MIN_OUT = 4,
    QANAGUI_SET_HOST_CALLBACK_MIN_IN = 4,
    QANAGUI_SET_HOST_CALLBACK_MIN_OUT = 4
};

/* Module-wide limits and defaults. */
enum QanaguiLimits {
    QANAGUI_MAX_INSTANCES = 256, /* slots of the instance table */
    QANAGUI_DEFAULT_SAMPLE_RATE = 44100 /* Hz, until SET_SAMPLE_RATE */
};

/* Output of CREATE_INSTANCE (8 bytes). */
typedef struct QanaguiCreateInstanceReply {
    int32_t status; /* QANAGUI_STATUS_OK or QANAGUI_STATUS_TABLE_FULL */
    uint32_t handle; /* valid with QANAGUI_STATUS_OK */
} QanaguiCreateInstanceReply;

/* ============================================================================================== */
/* Status words                                                                                    */
/* ============================================================================================== */

/* Written as a signed 32-bit value into the first word of the output buffer. */
enum QanaguiStatus {
    QANAGUI_STATUS_OK = 0,
    QANAGUI_STATUS_TABLE_FULL = -1, /* all instance slots are in use, or the instance could not be built */
    QANAGUI_STATUS_NO_SUCH_HANDLE = -2, /* the handle to destroy is not in the table */
    QANAGUI_STATUS_BAD_SIZE = -3, /* an input or output buffer is smaller than the command needs */
    QANAGUI_STATUS_BUFFER_TOO_SMALL = -4 /* the descriptor image did not fit (GET_DESCRIPTOR only) */
};

/* ============================================================================================== */
/* Descriptor image (output of GET_DESCRIPTOR)                                                     */
/* ============================================================================================== */

/*
 * byte 0    int32 status: 0, or QANAGUI_STATUS_BUFFER_TOO_SMALL when a piece was left out
 * byte 4    the thirteen descriptor words (QanaguiDescriptorWords); each offset word holds the byte
 *           offset of its piece from the start of outBuffer
 * byte 56   the pieces, each directly after the previous one, in this order: inputFormats,
 *           outputFormats, shortName (with its NUL), longName (with its NUL), audioOutputWords,
 *           inputInfos, outputInfos. A piece whose offset word is 0 in the module (audioOutputWords
 *           here) is not placed and its word stays 0.
 *
 * Fitting rule: below 56 bytes the status is -4 and nothing else is written (0 bytes returned). Then
 * each piece is placed only when its end is strictly less than outSize (it needs one byte to spare);
 * a piece that does not fit is left out with status -4, its word keeps a meaningless value, and later
 * smaller pieces are still tried. bytesReturned is the end of the last piece placed. Do not use an
 * image whose status is not 0.
 *
 * This module's image: pieces at 56 (inputFormats, 1296 bytes), 1352 (outputFormats, 1232),
 * 2584 (shortName "QANAGUI", 8), 2592 (longName "DUDEVIVIDOR", 12), 2604 (inputInfos, 3240),
 * 5844 (outputInfos, 3080); it ends at byte 8924 and needs an output buffer of 8925 bytes.
 *
 * In both pin lists the control pins come first, then the audio pins. Inputs: 0-31 "iA01".."iA32"
 * (kind "Ctrl"), 32-43 "iR","iG","iB","iR2",..,"iB4" ("iCtrl"), 44 "iSHo" ("iCtrl"), 45-76
 * "iC01".."iC32" ("Ctrl"), 77-80 "a","b","c","d" ("audio"). Outputs: 0-31 "A01".."A32" ("Ctrl"),
 * 32-43 "R".."B4" ("Ctrl"), 44 "SHow" ("iCtrl"), 45-76 "C01".."C32" ("Ctrl"). Control slot k is control
 * input pin k and control output pin k.
 */

/* One pin's value format (16 bytes). The meaning of the flag bits is the host's. */
typedef struct QanaguiPinFormat {
    uint32_t flags; /* QANAGUI_CONTROL_PIN_FLAGS or QANAGUI_AUDIO_PIN_FLAGS */
    int32_t minimum; /* INT32_MIN for every pin */
    int32_t maximum; /* INT32_MIN for control pins (not INT32_MAX), INT32_MAX for audio pins */
    uint32_t reserved; /* 0 */
} QanaguiPinFormat;

/* One pin's names (40 bytes); both fields NUL-terminated and NUL-padded. */
typedef struct QanaguiPinInfo {
    char name[8]; /* "iA01", "SHow", "a", ... */
    char kind[32]; /* "Ctrl", "iCtrl" or "audio" */
} QanaguiPinInfo;

/* The thirteen descriptor words as they stand in the image, from byte 4 (52 bytes). */
typedef struct QanaguiDescriptorWords {
    int32_t controlInputCount; /* word 0: 77 */
    int32_t audioInputCount; /* word 1: 4 */
    int32_t controlOutputCount; /* word 2: 77 */
    int32_t audioOutputCount; /* word 3: 0 */
    uint32_t inputFormats; /* word 4: offset of QanaguiPinFormat[controlInputCount + audioInputCount] */
    uint32_t outputFormats; /* word 5: offset of QanaguiPinFormat[controlOutputCount + audioOutputCount] */
    uint32_t flags; /* word 6: QANAGUI_DESCRIPTOR_FLAGS; its meaning is the host's */
    uint32_t shortName; /* word 7: offset of a NUL-terminated string */
    uint32_t longName; /* word 8: offset of a NUL-terminated string */
    uint32_t audioOutputWords; /* word 9: offset of uint32_t[audioOutputCount]; 0 here */
    uint32_t reserved; /* word 10: 0 */
    uint32_t inputInfos; /* word 11: offset of QanaguiPinInfo[inputs] */
    uint32_t outputInfos; /* word 12: offset of QanaguiPinInfo[outputs] */
} QanaguiDescriptorWords;

/* The head of the image: status and descriptor words (56 bytes). */
typedef struct QanaguiDescriptorImageHeader {
    int32_t status;
    QanaguiDescriptorWords descriptor;
} QanaguiDescriptorImageHeader;

/* Indices of the descriptor words (word i lies at image byte 4 + 4 * i). */
enum QanaguiDescriptorWord {
    QANAGUI_WORD_CONTROL_INPUT_COUNT = 0,
    QANAGUI_WORD_AUDIO_INPUT_COUNT = 1,
    QANAGUI_WORD_CONTROL_OUTPUT_COUNT = 2,
    QANAGUI_WORD_AUDIO_OUTPUT_COUNT = 3,
    QANAGUI_WORD_INPUT_FORMATS = 4,
    QANAGUI_WORD_OUTPUT_FORMATS = 5,
    QANAGUI_WORD_FLAGS = 6,
    QANAGUI_WORD_SHORT_NAME = 7,
    QANAGUI_WORD_LONG_NAME = 8,
    QANAGUI_WORD_AUDIO_OUTPUT_WORDS = 9,
    QANAGUI_WORD_RESERVED = 10,
    QANAGUI_WORD_INPUT_INFOS = 11,
    QANAGUI_WORD_OUTPUT_INFOS = 12,
    QANAGUI_DESCRIPTOR_WORD_COUNT = 13
};

/* Sizes of the image's records, in bytes. */
enum QanaguiImageLayout {
    QANAGUI_DESCRIPTOR_WORDS_OFFSET = 4,
    QANAGUI_DESCRIPTOR_IMAGE_HEADER_SIZE = 56, /* status + 13 words; the first piece starts here */
    QANAGUI_PIN_FORMAT_SIZE = 16,
    QANAGUI_PIN_INFO_SIZE = 40,
    QANAGUI_PIN_NAME_SIZE = 8,
    QANAGUI_PIN_KIND_SIZE = 32
};

/* This module's descriptor. */
enum QanaguiModuleDescriptor {
    QANAGUI_CONTROL_INPUT_COUNT = 77,
    QANAGUI_AUDIO_INPUT_COUNT = 4,
    QANAGUI_CONTROL_OUTPUT_COUNT = 77,
    QANAGUI_AUDIO_OUTPUT_COUNT = 0,
    QANAGUI_INPUT_COUNT = 81, /* control inputs, then audio inputs A, B, C, D (77 to 80) */
    QANAGUI_OUTPUT_COUNT = 77,
    QANAGUI_SHOW_PIN = 44, /* "iSHo" / "SHow": 1 shows, 0 hides the window */
    QANAGUI_DESCRIPTOR_FLAGS = 0x2003,
    QANAGUI_CONTROL_PIN_FLAGS = 0x00000001,
    QANAGUI_AUDIO_PIN_FLAGS = 0x00004001,
    QANAGUI_DESCRIPTOR_IMAGE_SIZE = 8924, /* bytesReturned of a complete image */
    QANAGUI_DESCRIPTOR_BUFFER_SIZE = 8925 /* least outSize for a complete image */
};

/* ============================================================================================== */
/* Entry points (output words 1 to 5 of GET_ENTRY_POINTS)                                          */
/* ============================================================================================== */

/*
 * Plain C functions; the first argument is the instance handle from CREATE_INSTANCE. Arguments that
 * carry addresses are 32-bit words. The host calls them directly, not through the export.
 *
 * The two entries that run per block, processControl and processAudio, are called on the
 * [audio-thread], one block after the other and never at the same time for one instance; they never
 * block. The other three may be called from [any-thread], but not at the same time as another entry of
 * the same instance.
 */

/*
 * processAudio — takes one block of the four audio inputs.                            [audio-thread]
 *   host1, host3, host4  the host's own values; not read.
 *   inputs  address of four addresses of int32_t sample arrays: inputs A, B, C, D in this order.
 *           Samples are signed 32-bit values over the whole range. Owned by the host; read during the
 *           call only.
 *   start   index of the block's first sample in each array.
 *   count   number of samples in the block.
 * Returns -1 (the module produces no audio output).
 */
typedef int32_t(QANAGUI_ABI* QanaguiProcessAudioFn)(uint32_t handle, int32_t host1, int32_t inputs, int32_t host3,
                                                    int32_t host4, int32_t start, int32_t count);

/*
 * processControl — exchanges the control pins of one block.                           [audio-thread]
 *   inputs   address of an array of addresses, one per control input pin: entry i points at the current
 *            int32_t value of input pin i. At least the first 45 entries (pins 0 to 44) must be valid.
 *   host2    the host's own value; not read.
 *   outputs  address of the int32_t[QANAGUI_CONTROL_OUTPUT_COUNT] control outputs, written in place
 *            during the call. Both arrays are owned by the host.
 *   host4    the host's own value; not read.
 * Returns 0.
 */
typedef int32_t(QANAGUI_ABI* QanaguiProcessControlFn)(uint32_t handle, int32_t inputs, int32_t host2, int32_t outputs,
                                                      int32_t host4);

/* auxOperation1 — reserved for the host's use; this analyzer ignores its values. [any-thread] */
typedef void(QANAGUI_ABI* QanaguiAuxOperation1Fn)(uint32_t handle, int32_t host1, int32_t host2, int32_t host3,
                                                  int32_t host4, int32_t host5);

/* auxOperation3 — reserved for the host's use; this analyzer ignores its values and returns -1. [any-thread] */
typedef int32_t(QANAGUI_ABI* QanaguiAuxOperation3Fn)(uint32_t handle, int32_t host1, int32_t host2, int32_t host3,
                                                     int32_t host4);

/*
 * flagControl — reads or changes the instance's 32-bit flag word (0 when created).       [any-thread]
 *   host1..host4  the host's own values; not read.
 *   operation     QANAGUI_FLAG_* below.
 *   ...           one uint32_t value, read in place as the first variable argument.
 * Returns 0 for CLEAR and SET, the flag word for GET, -3 for any other operation (nothing changes).
 * Nothing else in the module reads the flag word.
 */
typedef int32_t(QANAGUI_ABI* QanaguiFlagControlFn)(uint32_t handle, int32_t host1, int32_t host2, int32_t host3,
                                                   int32_t host4, int32_t operation, ...);

enum QanaguiFlagOperation {
    QANAGUI_FLAG_CLEAR = 1, /* the flag word loses the bits set in the value */
    QANAGUI_FLAG_SET = 2, /* the flag word gains the bits set in the value */
    QANAGUI_FLAG_GET = 3 /* returns the flag word; the value is not used */
};

/* Output words 1 to 5 of GET_ENTRY_POINTS: entry-point addresses as 32-bit words (20 bytes). */
typedef struct QanaguiEntryPoints {
    uint32_t processAudio; /* QanaguiProcessAudioFn */
    uint32_t processControl; /* QanaguiProcessControlFn */
    uint32_t auxOperation1; /* QanaguiAuxOperation1Fn */
    uint32_t auxOperation3; /* QanaguiAuxOperation3Fn */
    uint32_t flagControl; /* QanaguiFlagControlFn */
} QanaguiEntryPoints;

/* The whole output of GET_ENTRY_POINTS (24 bytes). */
typedef struct QanaguiEntryPointsReply {
    int32_t status;
    QanaguiEntryPoints entries;
} QanaguiEntryPointsReply;

/* ============================================================================================== */
/* Host callback (installed by SET_HOST_CALLBACK)                                                  */
/* ============================================================================================== */

/*
 * A host function the module may call with a notification code, two values and a final 0; it returns
 * the host's answer (the module sees 0 while no callback is installed). The module may call it from
 * [any-thread]. Three codes belong to it, their meaning being the host's: 1079 with one value (value2
 * is 0), 1088 and 1090 with two values. The analyzer stores the pointer but raises no notification.
 */
typedef int32_t(QANAGUI_ABI* QanaguiHostCallback)(int32_t code, int32_t value1, int32_t value2, int32_t zero);

/* ============================================================================================== */
/* Layout checks                                                                                   */
/* ============================================================================================== */

QANAGUI_PROTOCOL_CHECK(pin_format_size, sizeof(QanaguiPinFormat) == QANAGUI_PIN_FORMAT_SIZE);
QANAGUI_PROTOCOL_CHECK(pin_info_size, sizeof(QanaguiPinInfo) == QANAGUI_PIN_INFO_SIZE);
QANAGUI_PROTOCOL_CHECK(descriptor_words_size, sizeof(QanaguiDescriptorWords) == 4 * QANAGUI_DESCRIPTOR_WORD_COUNT);
QANAGUI_PROTOCOL_CHECK(image_header_size, sizeof(QanaguiDescriptorImageHeader) == QANAGUI_DESCRIPTOR_IMAGE_HEADER_SIZE);
QANAGUI_PROTOCOL_CHECK(create_reply_size, sizeof(QanaguiCreateInstanceReply) == QANAGUI_CREATE_INSTANCE_MIN_OUT);
QANAGUI_PROTOCOL_CHECK(entry_reply_size, sizeof(QanaguiEntryPointsReply) == QANAGUI_GET_ENTRY_POINTS_MIN_OUT);
QANAGUI_PROTOCOL_CHECK(image_size, QANAGUI_DESCRIPTOR_IMAGE_HEADER_SIZE +
                                           QANAGUI_INPUT_COUNT * (QANAGUI_PIN_FORMAT_SIZE + QANAGUI_PIN_INFO_SIZE) +
                                           QANAGUI_OUTPUT_COUNT * (QANAGUI_PIN_FORMAT_SIZE + QANAGUI_PIN_INFO_SIZE) +
                                           8 + 12 ==
                                       QANAGUI_DESCRIPTOR_IMAGE_SIZE);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* QANAGUI_PROTOCOL_H */
