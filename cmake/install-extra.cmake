# The floating-pane layer for tmux builds without `new-pane`: installed as libexec/vesk/tmux so it
# can be put first on PATH (or named by TMUX_BIN) in front of the real tmux.
include(GNUInstallDirs)
install(PROGRAMS ${PROJECT_SOURCE_DIR}/tools/tmux-floating
        DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/vesk
        RENAME tmux)
