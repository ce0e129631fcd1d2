-- What a player who cannot be let in is told, before the front closes the
-- connection (see front.cfg). The pause lets what a client sent on arrival
-- (telnet options) be read, so that the close is clean rather than a reset.
local function tell(line)
  return function(applet)
    applet:send(line)
    core.msleep(500)
  end
end

core.register_service("full", "tcp", tell("THE SERVER IS FULL. PLEASE TRY AGAIN LATER.\r\n"))
core.register_service("busy_address", "tcp",
  tell("TOO MANY GAMES FROM YOUR ADDRESS. PLEASE TRY AGAIN LATER.\r\n"))
