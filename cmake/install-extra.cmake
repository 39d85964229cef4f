# The floating-pane layer for tmux builds without `new-pane`, installed as libexec/vesk/tmux. The
# prefix is laid out as an installation root (`vesk setup` copies from it by these relative
# paths), so the place is fixed rather than taken from CMAKE_INSTALL_LIBEXECDIR; the
# distribution puts <root>/libexec/vesk first on the tmux server's PATH when tmux has no new-pane.
install(PROGRAMS ${PROJECT_SOURCE_DIR}/tools/tmux-floating
        DESTINATION libexec/vesk
        RENAME tmux)
