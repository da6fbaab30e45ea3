# The program folder's data into the build tree's program folder (cmake -P, with
# SOURCE and DEST). file(COPY) skips a file whose copy has its timestamp, so a
# build with nothing to do rewrites nothing that running tests read (cpack builds
# the "preinstall" target beside the other tests).
file(COPY ${SOURCE}/data/ DESTINATION ${DEST})
file(COPY ${SOURCE}/docs/manual.md ${SOURCE}/docs/images DESTINATION ${DEST}/doc)
