/* The host interface header as a C99 host sees it: it compiles on its own as strict C99 (built with
 * -std=c99 -pedantic-errors -Werror), and its records have the layout a host reads them with. A
 * failed check here fails the build. */
#include "qanagui/protocol.h"

#include <stddef.h>

#define CHECK(name, condition) typedef char check_##name[(condition) ? 1 : -1]

CHECK(words_at_4, offsetof(QanaguiDescriptorImageHeader, descriptor) == QANAGUI_DESCRIPTOR_WORDS_OFFSET);
CHECK(input_formats_word, offsetof(QanaguiDescriptorWords, inputFormats) == 4 * QANAGUI_WORD_INPUT_FORMATS);
CHECK(flags_word, offsetof(QanaguiDescriptorWords, flags) == 4 * QANAGUI_WORD_FLAGS);
CHECK(short_name_word, offsetof(QanaguiDescriptorWords, shortName) == 4 * QANAGUI_WORD_SHORT_NAME);
CHECK(audio_words_word, offsetof(QanaguiDescriptorWords, audioOutputWords) == 4 * QANAGUI_WORD_AUDIO_OUTPUT_WORDS);
CHECK(input_infos_word, offsetof(QanaguiDescriptorWords, inputInfos) == 4 * QANAGUI_WORD_INPUT_INFOS);
CHECK(output_infos_word, offsetof(QanaguiDescriptorWords, outputInfos) == 4 * QANAGUI_WORD_OUTPUT_INFOS);
CHECK(pin_maximum, offsetof(QanaguiPinFormat, maximum) == 8);
CHECK(pin_kind, offsetof(QanaguiPinInfo, kind) == QANAGUI_PIN_NAME_SIZE);
CHECK(handle_word, offsetof(QanaguiCreateInstanceReply, handle) == 4);
CHECK(entries_from_word_1, offsetof(QanaguiEntryPointsReply, entries) == 4);
CHECK(flag_control_word_5, offsetof(QanaguiEntryPointsReply, entries.flagControl) == 4 * 5);

/* Every function type takes the arguments a C host passes. */
int32_t qanaguiProtocolHeaderInC(QanaguiDeviceIoControlFn call, const QanaguiEntryPoints* entries, uint32_t handle);

int32_t qanaguiProtocolHeaderInC(QanaguiDeviceIoControlFn call, const QanaguiEntryPoints* entries, uint32_t handle) {
    int32_t returned = 0;
    int32_t in[2] = {0, QANAGUI_DEFAULT_SAMPLE_RATE};
    QanaguiCreateInstanceReply reply = {QANAGUI_STATUS_OK, 0};
    uint32_t value = 1;
    QanaguiProcessAudioFn audio = (QanaguiProcessAudioFn)(uintptr_t)entries->processAudio;
    QanaguiProcessControlFn control = (QanaguiProcessControlFn)(uintptr_t)entries->processControl;
    QanaguiAuxOperation1Fn aux1 = (QanaguiAuxOperation1Fn)(uintptr_t)entries->auxOperation1;
    QanaguiAuxOperation3Fn aux3 = (QanaguiAuxOperation3Fn)(uintptr_t)entries->auxOperation3;
    QanaguiFlagControlFn flags = (QanaguiFlagControlFn)(uintptr_t)entries->flagControl;
    QanaguiHostCallback callback = 0;
    QanaguiDeviceIoControlFn exported = &DARAZE_W32_DeviceIOControl;

    (void)callback;
    (void)exported;
    call(QANAGUI_CMD_SET_SAMPLE_RATE, in, (int32_t)sizeof in, &reply, (int32_t)sizeof reply, &returned);
    aux1(handle, 0, 0, 0, 0, 0);
    return audio(handle, 0, 0, 0, 0, 0, 0) + control(handle, 0, 0, 0, 0) + aux3(handle, 0, 0, 0, 0) +
           flags(handle, 0, 0, 0, 0, QANAGUI_FLAG_SET, value);
}
