-- Ardour, headless on its dummy backend: a session with the analyzer on a mono track whose input
-- carries the backend's DC signal. The plug-in processes it and publishes the marker's frequency and
-- the level there on its control outputs, which the session reads.
backend = AudioEngine:set_backend("None (Dummy)", "", "")
backend:set_device_name("DC -6dBFS (+.5)")
local session = create_session(os.getenv("QANAGUI_SESSION_DIR"), "analyzer", 48000)
assert(session, "no session")
local track = session:new_audio_track(1, 2, nil, 1, "A", ARDOUR.PresentationInfo.max_order,
                                      ARDOUR.TrackMode.Normal, true):front()
local analyzer = ARDOUR.LuaAPI.new_plugin(session, "urn:qanagui:analyzer", ARDOUR.PluginType.LV2, "")
assert(not analyzer:isnil(), "the plug-in was not found")
assert(track:add_processor_by_index(analyzer, 0, nil, true) == 0, "the plug-in was not added")
track:input():audio(0):connect("system:capture_1")
track:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput, PBD.GroupControlDisposition.NoGroup)
for i = 1, 20 do ARDOUR.LuaAPI.usleep(100000) end
-- Controls are numbered inputs first: 25 settings, then the marker frequency and the four levels.
local frequency = ARDOUR.LuaAPI.get_processor_param(analyzer, 25, true)
local level = ARDOUR.LuaAPI.get_processor_param(analyzer, 26, true)
print("marker frequency", frequency, "level 1", level, "level 2", ARDOUR.LuaAPI.get_processor_param(analyzer, 27, true))
assert(frequency > 0 and frequency < 100, "the marker sits at the first column")
assert(level > -40, "the input's signal shows at the marker")
close_session()
print("analyzer session: ok")
