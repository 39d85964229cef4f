# The distribution's support files go beside bin/vesk, as they lie under an installation root:
# `vesk setup` run from <prefix>/bin/vesk copies them from <prefix> into the user's root.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/dist/lib ${PROJECT_SOURCE_DIR}/dist/doc ${PROJECT_SOURCE_DIR}/dist/lists
        DESTINATION .)
