-- Ardour, headless on its dummy backend: a session with the analyzer on a mono track whose input
-- carries the backend's DC signal. The plug-in processes it and publishes the marker's frequency and
-- the level there on its control outputs, which the session reads. With a factory preset (carrying a
-- panel-only setting as state) and two ports changed, the session is saved, closed and opened again:
-- the ports are back, the outputs run, and a second save writes the restored state (the .sh reads it).
backend = AudioEngine:set_backend("None (Dummy)", "", "")
backend:set_device_name("DC -6dBFS (+.5)")
local dir = os.getenv("QANAGUI_SESSION_DIR")
local session = create_session(dir, "analyzer", 48000)
assert(session, "no session")
local track = session:new_audio_track(1, 2, nil, 1, "A", ARDOUR.PresentationInfo.max_order,
                                      ARDOUR.TrackMode.Normal, true):front()
local analyzer = ARDOUR.LuaAPI.new_plugin(session, "urn:qanagui:analyzer", ARDOUR.PluginType.LV2, "")
assert(not analyzer:isnil(), "the plug-in was not found")
assert(track:add_processor_by_index(analyzer, 0, nil, true) == 0, "the plug-in was not added")
track:input():audio(0):connect("system:capture_1")
track:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput, PBD.GroupControlDisposition.NoGroup)
local function wait() for i = 1, 20 do ARDOUR.LuaAPI.usleep(100000) end end
wait()
-- Controls are numbered inputs first: 25 settings (0 "spectrum", 2 "fft_size", 7 "input_3"), then
-- the marker frequency and the four levels.
local SPECTRUM, FFT_SIZE, INPUT_3, FREQUENCY, LEVEL_1 = 0, 2, 7, 25, 26
local function param(processor, n) return ARDOUR.LuaAPI.get_processor_param(processor, n, true) end
local frequency, level = param(analyzer, FREQUENCY), param(analyzer, LEVEL_1)
print("marker frequency", frequency, "level 1", level, "level 2", param(analyzer, 27))
assert(frequency > 0 and frequency < 100, "the marker sits at the first column")
assert(level > -40, "the input's signal shows at the marker")

local plugin = analyzer:to_insert():plugin(0)
local preset = plugin:preset_by_label("A against B (X*Y phase)")
assert(preset, "the factory preset is in Ardour's list")
assert(plugin:load_preset(preset), "the preset loads")
-- Back to the spectrum, at 8192 points: the marker's first column is half as wide.
assert(ARDOUR.LuaAPI.set_processor_param(analyzer, SPECTRUM, 1), "spectrum not set")
assert(ARDOUR.LuaAPI.set_processor_param(analyzer, FFT_SIZE, 8192), "fft size not set")
assert(Session:save_state("", false, false, false, false, false) == 0, "the session was not saved")
close_session()

assert(load_session(dir, "analyzer"), "the saved session does not open")
local again = Session:route_by_name("A"):nth_plugin(0)
assert(not again:isnil(), "the plug-in is not back on its track")
wait()
assert(param(again, SPECTRUM) == 1 and param(again, FFT_SIZE) == 8192 and param(again, INPUT_3) == 1,
       "the ports are back")
assert(math.abs(param(again, FREQUENCY) - frequency / 2) < 0.01, "the marker outputs run at the saved block size")
assert(param(again, LEVEL_1) > -40, "the input's signal shows at the marker again")
assert(Session:save_state("", false, false, false, false, false) == 0, "the session was not saved again")
close_session()
print("analyzer session: ok")
